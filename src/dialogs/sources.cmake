# sources of src/dialogs
target_sources(zarun_ui PRIVATE
  dialogs/DialogLayout.cpp dialogs/DialogLayout.h
  dialogs/fEdit.cpp dialogs/fEdit.h
  dialogs/fMove.cpp dialogs/fMove.h
  dialogs/ReferenceList.cpp dialogs/ReferenceList.h
  dialogs/fOption.cpp dialogs/fOption.h
)
