# Install layout and the Debian package.
#
# The program opens readme.txt from the folder of its executable (it never writes
# an installed copy's folder: settings go to ~/.config/ZARUN), so the executable
# and readme.txt share a private program folder (lib/zarun). bin/zarun is a relative symlink to it:
# the executable's folder is the resolved one, so readme.txt is found either way.
include(GNUInstallDirs)

set(ZARUN_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

if(WIN32)
  install(TARGETS zarun RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${ZARUN_PACKAGING_DIR}/readme.txt DESTINATION ${CMAKE_INSTALL_BINDIR})
  return()
endif()

# Not CMAKE_INSTALL_LIBDIR: that one may carry a multiarch triplet meant for libraries.
set(ZARUN_INSTALL_PROGRAMDIR "lib/zarun" CACHE STRING
  "Program folder for the executable and readme.txt, relative to the prefix")
install(TARGETS zarun RUNTIME DESTINATION ${ZARUN_INSTALL_PROGRAMDIR})
install(FILES ${ZARUN_PACKAGING_DIR}/readme.txt DESTINATION ${ZARUN_INSTALL_PROGRAMDIR})

# Relative links keep working under DESTDIR and when the tree is moved.
function(zarun_install_link folder target)
  cmake_path(ABSOLUTE_PATH folder BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX} OUTPUT_VARIABLE from)
  cmake_path(ABSOLUTE_PATH target BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX} OUTPUT_VARIABLE to)
  file(RELATIVE_PATH relative ${from} ${to})
  cmake_path(GET target FILENAME name)
  string(MAKE_C_IDENTIFIER "${folder}" key)  # the folder may be given as an absolute path
  set(link ${CMAKE_CURRENT_BINARY_DIR}/install-links/${key}/${name})
  cmake_path(GET link PARENT_PATH parent)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${relative} ${link} SYMBOLIC)
  install(FILES ${link} DESTINATION ${folder})
endfunction()
zarun_install_link(${CMAKE_INSTALL_BINDIR} ${ZARUN_INSTALL_PROGRAMDIR}/zarun)
# The real file stays in the program folder: /usr/share/doc may be left out of an installation.
zarun_install_link(${CMAKE_INSTALL_DOCDIR} ${ZARUN_INSTALL_PROGRAMDIR}/readme.txt)

# The manual page, the changelog and the copyright file, as Debian's policy has them
# (compressed with gzip -9n, so that the same sources give the same bytes).
set(ZARUN_RELEASE_DATE 2026-12-07)
configure_file(${ZARUN_PACKAGING_DIR}/zarun.1.in ${CMAKE_CURRENT_BINARY_DIR}/doc/zarun.1 @ONLY)
configure_file(${ZARUN_PACKAGING_DIR}/changelog ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog COPYONLY)
find_program(ZARUN_GZIP gzip REQUIRED)
mark_as_advanced(ZARUN_GZIP)
foreach(doc zarun.1 changelog)
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/doc/${doc}.gz
    COMMAND ${ZARUN_GZIP} -9nf -k ${doc}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/doc
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/doc/${doc}
    VERBATIM)
endforeach()
add_custom_target(zarun_docs ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/doc/zarun.1.gz
                                         ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/doc/zarun.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz ${ZARUN_PACKAGING_DIR}/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(FILES ${ZARUN_PACKAGING_DIR}/${ZARUN_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${ZARUN_PACKAGING_DIR}/${ZARUN_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${ZARUN_PACKAGING_DIR}/zarun-mime.xml
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/mime/packages RENAME ${ZARUN_APP_ID}.xml)
install(FILES ${ZARUN_PACKAGING_DIR}/zarun.svg
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps RENAME ${ZARUN_APP_ID}.svg)
install(FILES ${ZARUN_PACKAGING_DIR}/zarun.png
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/64x64/apps RENAME ${ZARUN_APP_ID}.png)
install(FILES ${ZARUN_PACKAGING_DIR}/zarun-32.png
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/32x32/apps RENAME ${ZARUN_APP_ID}.png)

# Debian package: cpack -G DEB in the build folder. The MIME, desktop and icon
# caches are refreshed by the triggers of shared-mime-info, desktop-file-utils
# and the icon theme, so the package needs no maintainer scripts.
set(CPACK_PACKAGE_NAME zarun)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The ZARUN developers")
set(CPACK_PACKAGE_CONTACT "ZARUN maintainers <maintainers@zarun.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "organizer for Visual Basic 6 projects (Japanese user interface)")
set(CPACK_PACKAGE_DESCRIPTION
  "ZARUN keeps a catalogue of Visual Basic 6 project files (.vbp) filed under\n\
named categories. From one window it opens a project's source in the IDE,\n\
opens its folder, runs its executable, or builds the executable by starting\n\
the IDE with /make. The user interface is Japanese.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://zarun.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git" "/build.*/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZARUN maintainers <maintainers@zarun.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Japanese text needs a CJK font; file types come from the shared MIME database.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, shared-mime-info, qt6-translations-l10n")
find_program(ZARUN_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(ZARUN_DPKG_SHLIBDEPS)
if(ZARUN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  message(STATUS "dpkg-shlibdeps not found: the Debian package's dependencies are set by hand")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), libglib2.0-0")
endif()

include(CPack)
