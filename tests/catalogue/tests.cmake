zarun_add_test(tst_mIniFile catalogue zarun_core)
zarun_add_test(tst_CatalogueNames catalogue zarun_core)
zarun_add_test(tst_cVbAnalyze catalogue zarun_core)
# The stand-in IDE is defined with the tooling tests, which are read later.
cmake_language(DEFER CALL zarun_use_fake_ide tst_cVbAnalyze)
zarun_add_test(tst_CatalogueFile catalogue zarun_core)
zarun_add_test(tst_NameRules catalogue zarun_core)
zarun_add_test(tst_ProjectStatus catalogue zarun_core)
zarun_add_test(tst_ProjectFilter catalogue zarun_core)
