# Installation rules and the Debian package.
#
#   cmake --install BUILD [--prefix DIR]      installs into DIR (default /usr/local)
#   cd BUILD && cpack -G DEB                   builds kalvynex_<version>_<arch>.deb
#
# Installed: kalvynex, kalvynex-inventory and kalvynex-plot into bin/, their manual pages into
# share/man/man1/ (compressed when gzip is there, as Debian wants it), the
# copyright file and the changelog into share/doc/kalvynex/, and the table
# schemas, the demo data and sample settings files into share/kalvynex/, and,
# with the prefix /usr, the station service's systemd unit into
# /lib/systemd/system.

include(GNUInstallDirs)

install(TARGETS kalvynex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Draws a written .fap file with gnuplot.
install(PROGRAMS tools/kalvynex-plot DESTINATION ${CMAKE_INSTALL_BINDIR})

# Installs `source` into `destination` gzip-compressed (as Debian wants man
# pages and changelogs), without a name or time stamp in the gzip header so
# that two builds of the same source give the same bytes; uncompressed when
# gzip is missing.
find_program(KALVYNEX_GZIP gzip)
function(kalvynex_install_compressed source destination)
  if(NOT KALVYNEX_GZIP)
    install(FILES ${source} DESTINATION ${destination})
    return()
  endif()
  get_filename_component(name ${source} NAME)
  string(MAKE_C_IDENTIFIER "compress_${name}" target)
  set(copy ${PROJECT_BINARY_DIR}/compressed/${name})
  add_custom_command(
    OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${KALVYNEX_GZIP} -9 -n -f ${copy}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${copy}.gz)
  install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()

# The programs' manual pages.
install(TARGETS kalvynex-inventory RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(page kalvynex.1 kalvynex-inventory.1 kalvynex-plot.1)
  kalvynex_install_compressed(${PROJECT_SOURCE_DIR}/man/${page} ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# What Debian wants of every package in /usr/share/doc/kalvynex: the
# copyright file and the changelog, compressed.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
kalvynex_install_compressed(${PROJECT_SOURCE_DIR}/packaging/changelog ${CMAKE_INSTALL_DOCDIR})

# Schemas of the CALIBRATION table and sample settings files, to be copied
# and edited; the program itself never reads them from here.
file(GLOB KALVYNEX_SCHEMAS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/schema-*.sql)
install(FILES
  ${KALVYNEX_SCHEMAS}
  ${PROJECT_SOURCE_DIR}/data/kalvynex.ini
  ${PROJECT_SOURCE_DIR}/data/qev.ini
  ${PROJECT_SOURCE_DIR}/data/odbc.ini.sample
  ${PROJECT_SOURCE_DIR}/data/demo-data.sql
  DESTINATION ${CMAKE_INSTALL_DATADIR}/kalvynex)

# The systemd unit of the station service. It names /usr/bin/kalvynex-inventory,
# so it is installed only when the prefix is /usr (as in the Debian package),
# into /lib/systemd/system below DESTDIR; never enabled. For another prefix,
# copy packaging/kalvynex-inventory.service and edit ExecStart.
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    file(INSTALL \"${PROJECT_SOURCE_DIR}/packaging/kalvynex-inventory.service\"
      DESTINATION /lib/systemd/system
      PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  else()
    message(STATUS \"Not installed (prefix is not /usr): kalvynex-inventory.service\")
  endif()")

# ---------------------------------------------------------------------------
# Debian package

set(KALVYNEX_PACKAGE_MAINTAINER "Kalvynex maintainers <maintainers@users.noreply.c-seed-a06eadd6.example>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME kalvynex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QEV seismic processing system")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "export a seismic channel's instrument response from the calibration database")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KALVYNEX_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary above is the first line of the Description field; this is the
# extended description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "kalvynex reads the calibration of one seismic channel (station, channel,
network and location codes, optionally a date) from the table CALIBRATION
of an ODBC data source and writes it as one response file: a SAC pole-zero
file (.sac) or a GSE2 frequency/amplitude/phase file (.fap), as velocity,
displacement or acceleration in the unit asked for.
.
kalvynex-inventory lists, exports and checks a whole network's calibrations
in one run: SAC-readable pole-zero files, kalvynex's own files and FDSN
StationXML, with a report of unreadable, overlapping or inconsistent
responses; kalvynex-inventory serve answers FDSN station web service
queries over the same table (systemd unit kalvynex-inventory.service,
not enabled on installation).
.
The package holds both programs, the plotting script, their manual pages,
the table schemas, demo data and sample settings and ODBC data source
files in /usr/share/kalvynex.")

# Depends comes from the libraries that the programs link (libodbc2 for
# unixODBC, libxml2 for the StationXML writer, libmicrohttpd12 for the station
# service, and the C and C++ runtimes) as
# dpkg-shlibdeps finds them, so the version bounds follow the build machine. Without dpkg-shlibdeps (package
# dpkg-dev) the same list is written out, without versions.
find_program(KALVYNEX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KALVYNEX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libodbc2, libxml2, libmicrohttpd12, libc6, libstdc++6, libgcc-s1")
endif()
# A driver for the database that holds CALIBRATION.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsqliteodbc | odbc-postgresql | odbc-mariadb")
# isql and odbcinst, to set up and try a data source.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "unixodbc, gnuplot-nox")

include(CPack)
