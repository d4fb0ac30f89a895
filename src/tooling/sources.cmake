# sources of src/tooling
target_sources(zarun_core PRIVATE
  tooling/BuildOrder.cpp tooling/BuildOrder.h
  tooling/BuildQueue.cpp tooling/BuildQueue.h
  tooling/Centring.cpp tooling/Centring.h
  tooling/IdeBuild.cpp tooling/IdeBuild.h
  tooling/IdeCommand.cpp tooling/IdeCommand.h
  tooling/ProjectActions.cpp tooling/ProjectActions.h
  tooling/UserInterface.cpp tooling/UserInterface.h
  tooling/mFunction.cpp tooling/mFunction.h
  tooling/mMain.cpp tooling/mMain.h
)
target_sources(zarun_ui PRIVATE
  tooling/fBuild.cpp tooling/fBuild.h
  tooling/fMessage.cpp tooling/fMessage.h
)
