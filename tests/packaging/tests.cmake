# Installs into a temporary DESTDIR and checks the tree with the desktop validators.
add_test(NAME packaging_validate
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/validate.sh
          ${CMAKE_COMMAND} ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(packaging_validate PROPERTIES SKIP_RETURN_CODE 77 LABELS packaging)
# The Debian package: lintian without errors, one version in the package, --version and the docs.
add_test(NAME packaging_deb_lintian
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/deb_lintian.sh ${CMAKE_CPACK_COMMAND} ${PROJECT_BINARY_DIR} ${PROJECT_VERSION}
          $<TARGET_FILE:zarun>)
set_tests_properties(packaging_deb_lintian PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS packaging)
