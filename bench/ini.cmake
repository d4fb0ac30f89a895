add_executable(bench_ini ini/bench_ini.cpp)
target_link_libraries(bench_ini PRIVATE zarun_core)
