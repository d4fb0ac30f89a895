# sources of src/mainwindow
target_sources(zarun_ui PRIVATE
  mainwindow/fMain.cpp mainwindow/fMain.h
)
