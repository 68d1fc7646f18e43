# What `cmake --install` puts where Debian expects it (GNUInstallDirs: the programs in bin/,
# their manual pages in share/man/man1/, the icon in the hicolor theme, the copyright and
# changelog in share/doc/vintrel/), and the .deb that CPack makes of it: `cpack --preset release`.
include(GNUInstallDirs)

set(vintrel_programs vintrel-console vintrel-jet vintrel-jet-check vintrel-jet-compact)
if(VINTREL_BUILD_UI)
  list(APPEND vintrel_programs vintrel)
endif()
install(TARGETS ${vintrel_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian keeps manual pages and changelogs compressed, without the name and time gzip would
# record, so that the same sources give the same package.
set(compressed)
function(vintrel_compress file)
  add_custom_command(OUTPUT ${file}.gz COMMAND gzip -9 -n -k -f ${file} DEPENDS ${file} VERBATIM)
  set(compressed ${compressed} ${file}.gz PARENT_SCOPE)
endfunction()

# Each program's page carries the project's version.
set(pages)
foreach(program IN LISTS vintrel_programs)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
  configure_file(${CMAKE_SOURCE_DIR}/docs/man/${program}.1.in ${page} @ONLY)
  vintrel_compress(${page})
  list(APPEND pages ${page}.gz)
endforeach()
install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_CONTACT "Vintrel developers <vintrel@example.org>" CACHE STRING
  "The package's Maintainer field, a name and an address")

# The licence in Debian's machine-readable copyright format, its text taken from LICENSE: the
# paragraphs after the copyright line, each line indented and each empty line a lone dot.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)\n\n(.*)" licence "${licence}")
set(copyright_holders ${CMAKE_MATCH_1})
string(STRIP "${CMAKE_MATCH_2}" licence_text)
string(REPLACE "\n\n" "\n.\n" licence_text "${licence_text}")
string(REPLACE "\n" "\n " licence_text " ${licence_text}")
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vintrel)
configure_file(${CMAKE_SOURCE_DIR}/resources/linux/copyright.in ${CMAKE_BINARY_DIR}/doc/copyright @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/doc/copyright DESTINATION ${doc_dir})

# A Debian changelog of the one version. The version's date, here and in the metainfo, is
# SOURCE_DATE_EPOCH's where that is set.
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP release_date "%Y-%m-%d" UTC)
configure_file(${CMAKE_SOURCE_DIR}/resources/linux/changelog.in ${CMAKE_BINARY_DIR}/doc/changelog @ONLY)
vintrel_compress(${CMAKE_BINARY_DIR}/doc/changelog)
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz DESTINATION ${doc_dir})

add_custom_target(compressed_documents ALL DEPENDS ${compressed})

# The window's menu entry, which a file manager also offers for a folder ("Open with"), its
# icon, and its AppStream description for software centres. The metainfo's addresses are on
# the project's placeholder site until it has one.
if(VINTREL_BUILD_UI)
  foreach(size 16 32)
    install(FILES ${CMAKE_SOURCE_DIR}/resources/icon/vintrel-${size}.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vintrel.png)
  endforeach()
  install(FILES ${CMAKE_SOURCE_DIR}/resources/linux/vintrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  set(homepage https://vintrel.example.org)
  set(metainfo ${CMAKE_BINARY_DIR}/metainfo/org.example.vintrel.metainfo.xml)
  configure_file(${CMAKE_SOURCE_DIR}/resources/linux/org.example.vintrel.metainfo.xml.in ${metainfo} @ONLY)
  install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# The timer and service that compact a folder's databases once a month, enabled by nobody:
# the administrator names the folder (vintrel-console(1)). They go in systemd's unit directory
# as its pkg-config file names it, taken under the install prefix (/lib or /usr/lib: the
# package's is /usr/lib/systemd/system).
set(unit_dir lib/systemd/system)
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_get_variable(systemd_unit_dir systemd systemdsystemunitdir)
  if(systemd_unit_dir)
    string(REGEX REPLACE "^/(usr/)?" "" unit_dir ${systemd_unit_dir})
  endif()
endif()
install(FILES ${CMAKE_SOURCE_DIR}/resources/linux/vintrel-compact@.service
  ${CMAKE_SOURCE_DIR}/resources/linux/vintrel-compact@.timer DESTINATION ${unit_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vintrel)
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
