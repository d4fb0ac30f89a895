# The floor for a filter key: the same rows in a plain Qt list (BENCH_PLAIN_LIST).
add_executable(plain_list open/plain_list.cpp)
target_link_libraries(plain_list PRIVATE Qt6::Widgets)
# The floor under the paint of such a key: Qt alone shaping and drawing a screenful of new texts.
add_executable(text_floor open/text_floor.cpp)
target_link_libraries(text_floor PRIVATE Qt6::Widgets zarun_core)

# The open benchmark is a script (bench/open/run.sh) run by hand against any zarun executable.
# The smoke test only checks that the harness still drives the program through every step (50
# projects, a first, a cold and one warm start, no timing judged); it evicts only its own files
# from the page cache.
if(ZARUN_BUILD_TESTS)
  add_test(NAME bench_open_smoke
    COMMAND ${CMAKE_COMMAND} -E env BENCH_SIZES=50 BENCH_RUNS=1 BENCH_COLD=fadvise BENCH_FILL_TIMEOUT=20
            BENCH_PLAIN_LIST=$<TARGET_FILE:plain_list>
            ${CMAKE_CURRENT_LIST_DIR}/open/run.sh $<TARGET_FILE:zarun>)
  # Alone: it drives a real window against timeouts, which the load of a parallel run upsets.
  set_tests_properties(bench_open_smoke PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS bench RESOURCE_LOCK virtual_display
                       RUN_SERIAL TRUE)
endif()
