# sources of src/mainwindow
target_sources(zarun_core PRIVATE
  mainwindow/CatalogueCommands.cpp mainwindow/CatalogueCommands.h
  mainwindow/CommandLine.cpp mainwindow/CommandLine.h
  mainwindow/MainLayout.cpp mainwindow/MainLayout.h
  mainwindow/ReturnFromElsewhere.cpp mainwindow/ReturnFromElsewhere.h
  mainwindow/Settings.cpp mainwindow/Settings.h
)
target_sources(zarun_ui PRIVATE
  mainwindow/BuildCommands.cpp mainwindow/BuildCommands.h
  mainwindow/CatalogueHandOver.cpp mainwindow/CatalogueHandOver.h
  mainwindow/ColumnWidths.cpp mainwindow/ColumnWidths.h
  mainwindow/InstanceChannel.cpp mainwindow/InstanceChannel.h
  mainwindow/MainLists.cpp mainwindow/MainLists.h
  mainwindow/MainMenus.cpp mainwindow/MainMenus.h
  mainwindow/ShutdownOnRequest.cpp mainwindow/ShutdownOnRequest.h
  mainwindow/ProjectListView.cpp mainwindow/ProjectListView.h
  mainwindow/SplitHandle.cpp mainwindow/SplitHandle.h
  mainwindow/fMain.cpp mainwindow/fMain.h
  mainwindow/mWndFunction.cpp mainwindow/mWndFunction.h
  mainwindow/WindowPlacement.cpp mainwindow/WindowPlacement.h
)
