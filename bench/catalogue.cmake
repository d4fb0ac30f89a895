add_executable(bench_save catalogue/bench_save.cpp)
target_link_libraries(bench_save PRIVATE zarun_core)
