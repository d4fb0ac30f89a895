# Install layout and the Debian package.
#
# The program opens readme.txt from the folder of its executable and keeps its
# settings there when it may write there, so the executable and readme.txt share
# a private program folder (lib/zarun). bin/zarun is a relative symlink to it:
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
set(ZARUN_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/zarun")

install(TARGETS zarun RUNTIME DESTINATION ${ZARUN_INSTALL_PROGRAMDIR})
install(FILES ${ZARUN_PACKAGING_DIR}/readme.txt DESTINATION ${ZARUN_INSTALL_PROGRAMDIR})

# Relative links keep working under DESTDIR and when the tree is moved.
set(_zarun_links ${CMAKE_CURRENT_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${_zarun_links}/bin ${_zarun_links}/doc)
foreach(_dir BINDIR PROGRAMDIR DOCDIR)
  if(_dir STREQUAL "BINDIR")
    set(_path ${CMAKE_INSTALL_BINDIR})
  else()
    set(_path ${ZARUN_INSTALL_${_dir}})
  endif()
  cmake_path(ABSOLUTE_PATH _path BASE_DIRECTORY ${CMAKE_INSTALL_PREFIX} OUTPUT_VARIABLE _zarun_full_${_dir})
endforeach()
file(RELATIVE_PATH _zarun_to_exe ${_zarun_full_BINDIR} ${_zarun_full_PROGRAMDIR}/zarun)
file(RELATIVE_PATH _zarun_to_readme ${_zarun_full_DOCDIR} ${_zarun_full_PROGRAMDIR}/readme.txt)
file(CREATE_LINK ${_zarun_to_exe} ${_zarun_links}/bin/zarun SYMBOLIC)
file(CREATE_LINK ${_zarun_to_readme} ${_zarun_links}/doc/readme.txt SYMBOLIC)
install(PROGRAMS ${_zarun_links}/bin/zarun DESTINATION ${CMAKE_INSTALL_BINDIR})
# The real file stays in the program folder: /usr/share/doc may be left out of an installation.
install(FILES ${_zarun_links}/doc/readme.txt DESTINATION ${ZARUN_INSTALL_DOCDIR})

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
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, shared-mime-info")
find_program(ZARUN_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(ZARUN_DPKG_SHLIBDEPS)
if(ZARUN_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  message(STATUS "dpkg-shlibdeps not found: the Debian package's dependencies are set by hand")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), libglib2.0-0")
endif()

include(CPack)
