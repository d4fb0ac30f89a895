zarun_add_test(tst_FileDialogRules support zarun_core)
zarun_add_test(tst_AboutRules support zarun_core)
zarun_add_test(tst_cCommonDlg support zarun_ui)
zarun_add_test(tst_cILink support zarun_ui)
zarun_add_test(tst_fAbout support zarun_ui)
zarun_add_test(tst_WidgetUserInterface support zarun_ui)
zarun_add_test(tst_ShapedTexts support zarun_ui)
zarun_add_test(tst_KeptViewport support zarun_ui)
zarun_add_test(tst_BandedScrollBarStyle support zarun_ui)
# cILink and its test once more with the undefined-behaviour checks, which alone see a label
# treated as one while it is being destroyed. Skipped where the compiler has no such checks.
include(CheckLinkerFlag)
check_linker_flag(CXX -fsanitize=undefined ZARUN_HAS_UBSAN)
if(ZARUN_HAS_UBSAN AND NOT ZARUN_BUILD_FUZZ)
  # Its own copy of cILink: the one in zarun_ui is not instrumented.
  add_executable(tst_cILink_ubsan support/tst_cILink.cpp
                 ${PROJECT_SOURCE_DIR}/src/support/ui/cILink.cpp ${PROJECT_SOURCE_DIR}/src/support/ui/cILink.h)
  target_link_libraries(tst_cILink_ubsan PRIVATE zarun_ui Qt6::Test)
  target_compile_options(tst_cILink_ubsan PRIVATE -fsanitize=undefined -fno-sanitize-recover=undefined)
  target_link_options(tst_cILink_ubsan PRIVATE -fsanitize=undefined)
  add_test(NAME tst_cILink_ubsan COMMAND tst_cILink_ubsan)
  set_tests_properties(tst_cILink_ubsan PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;UBSAN_OPTIONS=print_stacktrace=1")
endif()
