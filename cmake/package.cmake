# What `cmake --install` puts where Debian expects it (GNUInstallDirs: the programs in bin/,
# their manual pages in share/man/man1/, the icon in the hicolor theme), and the .deb that
# CPack makes of it: `cpack --preset release`.
include(GNUInstallDirs)

set(vintrel_programs vintrel-console vintrel-jet vintrel-jet-check vintrel-jet-compact)
if(VINTREL_BUILD_UI)
  list(APPEND vintrel_programs vintrel)
endif()
install(TARGETS ${vintrel_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Each program's page carries the project's version; Debian keeps manual pages compressed.
set(pages)
foreach(program IN LISTS vintrel_programs)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
  configure_file(${CMAKE_SOURCE_DIR}/docs/man/${program}.1.in ${page} @ONLY)
  add_custom_command(OUTPUT ${page}.gz COMMAND gzip -9 -n -k -f ${page} DEPENDS ${page} VERBATIM)
  list(APPEND pages ${page}.gz)
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${pages})
install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# No .desktop entry: the window compacts the databases of the directory it is started in,
# and a menu would start it in the home directory. The icon is there for the window's
# taskbar entry and for file managers.
if(VINTREL_BUILD_UI)
  foreach(size 16 32)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icon/vintrel-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vintrel.png)
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vintrel)
set(CPACK_PACKAGE_CONTACT "Vintrel developers" CACHE STRING "The package's Maintainer field")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compacts the six Jet databases of an installation in place")
set(CPACK_PACKAGE_DESCRIPTION [[
Vintrel compacts lift.mdb, log.mdb, prof.mdb, rang_lift.mdb, rang_log.mdb and
rang_prof.mdb in the directory it is started in, with its own Jet engine. Each
database is either left as it was or replaced by its compacted copy.
vintrel is the window and vintrel-console the same pass without one, for
machines without a display and for cron. vintrel-jet, vintrel-jet-check and
vintrel-jet-compact dump, check and compact single files.]])
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# dpkg-shlibdeps names the libraries the programs link (libc, libstdc++, Qt) as dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
