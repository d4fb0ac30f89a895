# The end-to-end runs share one lock: each starts its own X server, and several at once on a
# busy machine starve each other's waits.
# The real program driven by real X input on a virtual display (xvfb-run, xdotool), with the
# stand-in IDE as the desktop's handler for .vbp files. Skipped when those tools are missing.
add_test(NAME e2e_user_session
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/e2e_user_session.sh $<TARGET_FILE:zarun> $<TARGET_FILE:zarun_fake_ide>)
set_tests_properties(e2e_user_session PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS e2e RESOURCE_LOCK virtual_display)

# The main window's placement over three starts under a window manager (openbox).
add_test(NAME e2e_placement COMMAND ${CMAKE_CURRENT_LIST_DIR}/e2e_placement.sh $<TARGET_FILE:zarun>)
set_tests_properties(e2e_placement PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 200 LABELS e2e RESOURCE_LOCK virtual_display)

# The IDE under Wine: a mingw-w64 stand-in in a real Wine prefix, opened, built and its build run
# from the real program under Xvfb. Skipped without wine, mingw-w64 or the display tools.
add_test(NAME e2e_wine COMMAND ${CMAKE_CURRENT_LIST_DIR}/e2e_wine.sh $<TARGET_FILE:zarun>)
# Alone: it drives real windows and Wine against timeouts, which the load of a parallel run upsets.
set_tests_properties(e2e_wine PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS e2e RESOURCE_LOCK virtual_display RUN_SERIAL TRUE)
