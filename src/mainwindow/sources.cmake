# sources of src/mainwindow: the window's logic in zarun_core, its widgets (ui/) in zarun_ui
target_sources(zarun_core PRIVATE
  mainwindow/CatalogueCommands.cpp mainwindow/CatalogueCommands.h
  mainwindow/CommandLine.cpp mainwindow/CommandLine.h
  mainwindow/HeadlessCommands.cpp mainwindow/HeadlessCommands.h
  mainwindow/MainLayout.cpp mainwindow/MainLayout.h
  mainwindow/ReturnFromElsewhere.cpp mainwindow/ReturnFromElsewhere.h
)
target_sources(zarun_ui PRIVATE
  mainwindow/ui/BuildCommands.cpp mainwindow/ui/BuildCommands.h
  mainwindow/ui/CatalogueHandOver.cpp mainwindow/ui/CatalogueHandOver.h
  mainwindow/ui/ColumnWidths.cpp mainwindow/ui/ColumnWidths.h
  mainwindow/ui/InstanceChannel.cpp mainwindow/ui/InstanceChannel.h
  mainwindow/ui/MainLists.cpp mainwindow/ui/MainLists.h
  mainwindow/ui/MainMenus.cpp mainwindow/ui/MainMenus.h
  mainwindow/ui/ShutdownOnRequest.cpp mainwindow/ui/ShutdownOnRequest.h
  mainwindow/ui/ProjectListView.cpp mainwindow/ui/ProjectListView.h
  mainwindow/ui/SplitHandle.cpp mainwindow/ui/SplitHandle.h
  mainwindow/ui/WindowPlacement.cpp mainwindow/ui/WindowPlacement.h
  mainwindow/ui/fMain.cpp mainwindow/ui/fMain.h
  mainwindow/ui/mWndFunction.cpp mainwindow/ui/mWndFunction.h
)
