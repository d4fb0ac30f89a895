# Faults around the catalogue and settings files: a full disk, a file size limit, files made
# read-only, replaced, deleted or edited by another program while the program runs.
add_executable(fault_command faults/fault_command.cpp)
target_link_libraries(fault_command PRIVATE zarun_ui)
target_include_directories(fault_command PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

# Runs changes in processes of their own (fault_command), as another instance would.
zarun_add_test(tst_CatalogueFaults faults zarun_ui)
add_dependencies(tst_CatalogueFaults fault_command)
target_compile_definitions(tst_CatalogueFaults PRIVATE ZARUN_FAULT_COMMAND="$<TARGET_FILE:fault_command>")

foreach(how tmpfs filesize)
  add_test(NAME faults_disk_full_${how}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/faults/disk_full.sh $<TARGET_FILE:fault_command> ${how})
  set_tests_properties(faults_disk_full_${how} PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endforeach()
