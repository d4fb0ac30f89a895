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
zarun_add_test(tst_WineRegistry platform zarun_core)
# Built with the address checks, with its own instrumented copy: they alone see a worker reach a
# caller's stack that is gone.
include(CheckLinkerFlag)
check_linker_flag(CXX -fsanitize=address ZARUN_HAS_ASAN)
if(ZARUN_HAS_ASAN AND NOT ZARUN_BUILD_FUZZ)
  add_executable(tst_OffThread platform/tst_OffThread.cpp
                 ${PROJECT_SOURCE_DIR}/src/platform/OffThread.cpp ${PROJECT_SOURCE_DIR}/src/platform/OffThread.h)
  target_include_directories(tst_OffThread PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(tst_OffThread PRIVATE Qt6::Core Qt6::Test)
  # With Qt's own checks too: a call reaching a destroyed object is refused there.
  target_compile_options(tst_OffThread PRIVATE -fsanitize=address -fno-omit-frame-pointer -UQT_NO_DEBUG)
  target_link_options(tst_OffThread PRIVATE -fsanitize=address)
  add_test(NAME tst_OffThread COMMAND tst_OffThread)
  set_tests_properties(tst_OffThread PROPERTIES
    ENVIRONMENT "ASAN_OPTIONS=detect_stack_use_after_return=1:detect_leaks=0")
endif()
