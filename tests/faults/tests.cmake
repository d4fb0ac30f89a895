# Faults around the catalogue and settings files: a full disk, a file size limit, files made
# read-only, replaced, deleted or edited by another program while the program runs.
zarun_add_test(tst_CatalogueFaults faults zarun_ui)

add_executable(fault_command faults/fault_command.cpp)
target_link_libraries(fault_command PRIVATE zarun_ui)
target_include_directories(fault_command PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
foreach(how tmpfs filesize)
  add_test(NAME faults_disk_full_${how}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/faults/disk_full.sh $<TARGET_FILE:fault_command> ${how})
  set_tests_properties(faults_disk_full_${how} PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endforeach()
