# sources of src/support
target_sources(zarun_core PRIVATE
  support/AboutRules.cpp support/AboutRules.h
  support/FileDialogRules.cpp support/FileDialogRules.h
)
target_sources(zarun_ui PRIVATE
  support/cCommonDlg.cpp support/cCommonDlg.h
  support/cILink.cpp support/cILink.h
  support/fAbout.cpp support/fAbout.h
  support/NoticeBar.cpp support/NoticeBar.h
  support/AccessibleNames.cpp support/AccessibleNames.h
  support/ProgramIcon.cpp support/ProgramIcon.h
  support/ReadableColour.cpp support/ReadableColour.h
  support/WidgetUserInterface.cpp support/WidgetUserInterface.h
)
# The program icon (drawn from packaging/zarun.svg) is built into the program.
set(ZARUN_ICON_DIR ${CMAKE_CURRENT_LIST_DIR}/../../packaging)
set_source_files_properties(${ZARUN_ICON_DIR}/zarun.png PROPERTIES QT_RESOURCE_ALIAS zarun.png)
set_source_files_properties(${ZARUN_ICON_DIR}/zarun-32.png PROPERTIES QT_RESOURCE_ALIAS zarun-32.png)
qt_add_resources(zarun_ui zarun_icons
  PREFIX /zarun
  FILES ${ZARUN_ICON_DIR}/zarun.png ${ZARUN_ICON_DIR}/zarun-32.png
)
