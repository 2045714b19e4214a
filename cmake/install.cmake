# Where an install puts the program; the Debian package is made from it
# (scripts/package.sh, with data/debian/). Only the program and what it needs
# to run go in: never the tests, the benchmarks or the generators.

# A show to watch is an amusement: it goes where games go (/usr/games,
# /usr/local/games), whose manual section, 6, its man page is in.
include(GNUInstallDirs)
set(VORLITH_GAMESDIR games CACHE PATH "Where the program is installed, under the prefix")

install(TARGETS vorlith RUNTIME DESTINATION ${VORLITH_GAMESDIR})
# The pack goes where the program looks for it: ../share/vorlith from games/.
install(DIRECTORY ${CMAKE_BINARY_DIR}/assets/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vorlith)
install(FILES data/vorlith.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES data/vorlith.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/io.github.vorlith.vorlith.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES docs/gallery.png DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)  # the picture the README shows

# The install itself is checked with the tests: every file there and valid.
if(VORLITH_TESTS)
  add_test(NAME install_check COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/check-install.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(install_check PROPERTIES LABELS install)
endif()
