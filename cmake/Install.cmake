# What `cmake --install` puts where (GNUInstallDirs), and the Debian package
# that CPack makes of it (scripts/package).
#
#   bin/velmora, bin/velmora-cli, bin/r9k-sim          (install() beside each target)
#   share/velmora/guide/                                the user guide (Help menu)
#   share/applications/${VELMORA_APP_ID}.desktop
#   share/metainfo/${VELMORA_APP_ID}.metainfo.xml
#   share/mime/packages/${VELMORA_APP_ID}.xml           *.bwf as a WAVE file
#   share/icons/hicolor/NxN/apps/${VELMORA_APP_ID}.png
#   share/man/man1/velmora-cli.1.gz
#   share/bash-completion/completions/velmora-cli

set(dist ${PROJECT_SOURCE_DIR}/dist)

# The guide is also staged into the build tree as share/velmora/guide, where
# the program looks beside its own prefix, so that Help works from a build.
file(GLOB_RECURSE guide_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/guide/*)
set(guide_stamp ${PROJECT_BINARY_DIR}/share/velmora/guide.stamp)
add_custom_command(OUTPUT ${guide_stamp}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/docs/guide
          ${PROJECT_BINARY_DIR}/share/velmora/guide
  COMMAND ${CMAKE_COMMAND} -E touch ${guide_stamp}
  DEPENDS ${guide_files}
  COMMENT "Staging the user guide")
add_custom_target(velmora-guide ALL DEPENDS ${guide_stamp})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/guide/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora/guide)

install(FILES ${dist}/${VELMORA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${dist}/${VELMORA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${dist}/${VELMORA_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${VELMORA_APP_ID}.xml)
install(DIRECTORY ${dist}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${dist}/velmora-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME velmora-cli)

# Manual pages are installed compressed, as Debian's man expects them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(man_gz ${PROJECT_BINARY_DIR}/dist/velmora-cli.1.gz)
add_custom_command(OUTPUT ${man_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/dist
  COMMAND ${GZIP_PROGRAM} -9 -n -c ${dist}/velmora-cli.1 > ${man_gz}
  DEPENDS ${dist}/velmora-cli.1
  COMMENT "Compressing the velmora-cli manual page")
add_custom_target(velmora-man ALL DEPENDS ${man_gz})
install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: `cpack -G DEB` in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR Quorlan)
set(CPACK_PACKAGE_CONTACT "Quorlan Velmora maintainers <velmora@quorlan.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "metadata editor for location-sound take files (BWF, iXML)")
# The synopsis is the summary above; CPack indents these lines and marks the
# empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Velmora reads and edits the bext and iXML metadata of the Broadcast Wave
take files of field recorders (scene, take, tape, circled, notes, track
names, rates, timecode) and writes it back without touching the audio.
It renames, copies, splits and combines takes, writes CSV and PDF sound
reports, mends takes cut short by a power loss and drives a connected
R9K recorder.

This package holds the desktop application velmora, the command-line tool
velmora-cli and the recorder simulator r9k-sim.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link are found by dpkg-shlibdeps; the window
# also needs the toolkit's display plugins, PDF reports their font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
