zarun_add_test(tst_fEdit dialogs zarun_ui)
