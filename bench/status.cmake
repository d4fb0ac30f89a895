add_executable(bench_status status/bench_status.cpp)
target_link_libraries(bench_status PRIVATE zarun_core)
add_executable(bench_filter status/bench_filter.cpp)
target_link_libraries(bench_filter PRIVATE zarun_ui)
