zarun_add_test(tst_TextCodec platform zarun_core)
zarun_add_test(tst_IniDocument platform zarun_core)
zarun_add_test(tst_FileSystem platform zarun_core)
zarun_add_test(tst_DesktopAssociation platform zarun_core)
zarun_add_test(tst_SingleInstance platform zarun_core)
zarun_add_test(tst_ProgramFolder platform zarun_core)
# The Windows branches of src/platform/ still compile (mingw-w64; skipped without it).
add_test(NAME platform_windows_branches
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/windows_branches.sh ${PROJECT_SOURCE_DIR}/src
          "$<TARGET_PROPERTY:Qt6::Core,INTERFACE_INCLUDE_DIRECTORIES>" ${PROJECT_VERSION})
set_tests_properties(platform_windows_branches PROPERTIES SKIP_RETURN_CODE 77 LABELS portability)
zarun_add_test(tst_Twips platform zarun_core)
