# Packages made by cpack from what `cmake --install` installs: from the Linux build a Debian
# package (stats-mng_VERSION_ARCH.deb), from the Windows build a zip (stats-mng-VERSION-win64.zip).
# Run in the build directory: cpack -G DEB, or cpack -G ZIP (scripts/check-packages.sh).

include(GNUInstallDirs)
set(STATS_MNG_MAINTAINER "stats_mng maintainers <maintainers@users.noreply.c-seed-57783e6a.example>")

set(CPACK_PACKAGE_NAME stats-mng)
set(CPACK_PACKAGE_VENDOR "stats_mng developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${STATS_MNG_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recorded state of replication scenarios: library and tool")
set(CPACK_STRIP_FILES ON)
# Directories the install creates are 0755 whatever the umask of the machine that packs.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME stats-mng-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt.in ${PROJECT_BINARY_DIR}/README.txt
    @ONLY NEWLINE_STYLE WIN32)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends: computed from the binaries by dpkg-shlibdeps; the shlibs file names the library.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
A shared library (libstats_mng.so) that other processes call to ask about a
replication scenario: is an engine working on it, is its synchronisation
replicated, is it running, stopped or synchronising; with its C header,
pkg-config file and CMake package.

The stats-mng command-line tool asks the same questions, records states as an
engine does, lists many scenarios at once (also as metrics for a scraper), and
reads, writes and checks scenario configuration files; with a manual page and
bash completion.]])
  # The library's directory is the loader's: its cache is refreshed through dpkg's ldconfig trigger.
  file(WRITE ${PROJECT_BINARY_DIR}/packaging/triggers "activate-noawait ldconfig\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/packaging/triggers)

  # What Debian wants of every package: its copyright, and its changelog compressed (changelog.gz:
  # the package is its own upstream, a native package).
  find_program(STATS_MNG_GZIP gzip REQUIRED)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    COMMAND ${STATS_MNG_GZIP} -9 -n -f -k ${PROJECT_BINARY_DIR}/packaging/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
    VERBATIM)
  add_custom_target(stats-mng-changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/stats-mng)
endif()

include(CPack)
