zarun_add_test(tst_fMain mainwindow zarun_ui)
