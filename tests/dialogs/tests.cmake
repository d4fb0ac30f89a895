zarun_add_test(tst_fEdit dialogs zarun_ui)
zarun_add_test(tst_fMove dialogs zarun_ui)
zarun_add_test(tst_fOption dialogs zarun_ui)
zarun_add_test(tst_ReferenceList dialogs zarun_ui)
