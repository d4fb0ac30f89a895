# sources of src/support: rules in zarun_core, the widgets that follow them (ui/) in zarun_ui
target_sources(zarun_core PRIVATE
  support/AboutRules.cpp support/AboutRules.h
  support/FileDialogRules.cpp support/FileDialogRules.h
)
target_sources(zarun_ui PRIVATE
  support/ui/BandedScrollBarStyle.cpp support/ui/BandedScrollBarStyle.h
  support/ui/BeforePaint.h
  support/ui/cCommonDlg.cpp support/ui/cCommonDlg.h
  support/ui/cILink.cpp support/ui/cILink.h
  support/ui/fAbout.cpp support/ui/fAbout.h
  support/ui/KeptViewport.cpp support/ui/KeptViewport.h
  support/ui/NoticeBar.cpp support/ui/NoticeBar.h
  support/ui/Placement.cpp support/ui/Placement.h
  support/ui/AccessibleNames.cpp support/ui/AccessibleNames.h
  support/ui/ProgramIcon.cpp support/ui/ProgramIcon.h
  support/ui/ReadableColour.cpp support/ui/ReadableColour.h
  support/ui/ShapedTexts.cpp support/ui/ShapedTexts.h
  support/ui/WidgetUserInterface.cpp support/ui/WidgetUserInterface.h
)
# The program icon (drawn from packaging/zarun.svg) is built into the program.
set(ZARUN_ICON_DIR ${CMAKE_CURRENT_LIST_DIR}/../../packaging)
set_source_files_properties(${ZARUN_ICON_DIR}/zarun.png PROPERTIES QT_RESOURCE_ALIAS zarun.png)
set_source_files_properties(${ZARUN_ICON_DIR}/zarun-32.png PROPERTIES QT_RESOURCE_ALIAS zarun-32.png)
qt_add_resources(zarun_ui zarun_icons
  PREFIX /zarun
  FILES ${ZARUN_ICON_DIR}/zarun.png ${ZARUN_ICON_DIR}/zarun-32.png
)
