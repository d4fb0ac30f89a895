# Crash safety: SIGKILL at random moments of a save leaves the old or the new file, nothing else.
# CTest runs a short round; pass a larger count to the script by hand for the full 1,000.
add_executable(crash_save crash/crash_save.cpp)
target_link_libraries(crash_save PRIVATE zarun_core)
add_test(NAME crash_catalogue_save
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/crash/kill_during_save.sh $<TARGET_FILE:crash_save> catalogue - 200)
add_test(NAME crash_settings_save
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/crash/kill_during_save.sh $<TARGET_FILE:crash_save> settings
          ${CMAKE_CURRENT_SOURCE_DIR}/crash/data/ZARUN.ini 200)
