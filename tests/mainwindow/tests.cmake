zarun_add_test(tst_fMain mainwindow zarun_ui)
zarun_add_test(tst_StartTwice mainwindow zarun_core)
target_compile_definitions(tst_StartTwice PRIVATE ZARUN_EXECUTABLE="$<TARGET_FILE:zarun>")
add_dependencies(tst_StartTwice zarun)
