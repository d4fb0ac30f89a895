# Installs into a temporary DESTDIR and checks the tree with the desktop validators.
add_test(NAME packaging_validate
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/validate.sh
          ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(packaging_validate PROPERTIES SKIP_RETURN_CODE 77 LABELS packaging)
