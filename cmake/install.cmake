# Where an install puts the program, and the Debian package made from it
# (scripts/package.sh). Only the program and what it needs to run go in:
# never the tests, the benchmarks or the generators.
include(GNUInstallDirs)

install(TARGETS vorlith RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The pack goes where the program looks for it: ../share/vorlith from bin/.
install(DIRECTORY ${CMAKE_BINARY_DIR}/assets/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vorlith)
install(FILES data/vorlith.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES data/vorlith.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/io.github.vorlith.vorlith.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES docs/gallery.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)  # the picture the README shows

set(VORLITH_MAINTAINER "Vorlith maintainers <maintainers@vorlith.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlith)
set(CPACK_PACKAGE_VENDOR "The Vorlith authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "three-minute demoscene intro with tracker music")
# The long description, wrapped as Debian's control files like it.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Vorlith plays The Brim Tale, a self-running audiovisual show of the kind\n"
  "the demoscene calls an intro: six scenes of software-rendered 320x200\n"
  "graphics in step with an Impulse Tracker module, in a window.\n"
  "It can also capture the show off-screen as PNG frames, a WAV file of the\n"
  "music or an MP4 video (with ffmpeg).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VORLITH_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the binary links, as dpkg-shlibdeps reads them from it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Video export runs ffmpeg when it is there; everything else works without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ffmpeg)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)

# The install itself is checked with the tests: every file there and valid.
if(VORLITH_TESTS)
  add_test(NAME install_check COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-install.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(install_check PROPERTIES LABELS install)
endif()
