# sources of src/mainwindow
target_sources(zarun_core PRIVATE
  mainwindow/Settings.cpp mainwindow/Settings.h
)
target_sources(zarun_ui PRIVATE
  mainwindow/fMain.cpp mainwindow/fMain.h
)
