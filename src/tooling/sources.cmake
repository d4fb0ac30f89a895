# sources of src/tooling: the IDE and the shell in zarun_core, the progress windows (ui/) in zarun_ui
target_sources(zarun_core PRIVATE
  tooling/BuildOrder.cpp tooling/BuildOrder.h
  tooling/BuildQueue.cpp tooling/BuildQueue.h
  tooling/IdeBuild.cpp tooling/IdeBuild.h
  tooling/IdeCommand.cpp tooling/IdeCommand.h
  tooling/ProjectActions.cpp tooling/ProjectActions.h
  tooling/UserInterface.cpp tooling/UserInterface.h
  tooling/mFunction.cpp tooling/mFunction.h
  tooling/mMain.cpp tooling/mMain.h
)
target_sources(zarun_ui PRIVATE
  tooling/ui/BuildProgress.cpp tooling/ui/BuildProgress.h
  tooling/ui/fMessage.cpp tooling/ui/fMessage.h
)
