# Installation rules and the Debian package.
#
#   cmake --install BUILD [--prefix DIR]      installs into DIR (default /usr/local)
#   cd BUILD && cpack -G DEB                   builds kalvynex_<version>_<arch>.deb
#
# Installed: the program into bin/, the manual page into share/man/man1/
# (compressed when gzip is there, as Debian wants it), and the table schemas
# and sample settings files into share/kalvynex/.

include(GNUInstallDirs)

install(TARGETS kalvynex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Draws a written .fap file with gnuplot.
install(PROGRAMS tools/kalvynex-plot DESTINATION ${CMAKE_INSTALL_BINDIR})

# The manual page, gzip-compressed without a name or time stamp in the
# header so that two builds of the same source give the same bytes.
set(KALVYNEX_MAN_PAGE ${PROJECT_SOURCE_DIR}/man/kalvynex.1)
find_program(KALVYNEX_GZIP gzip)
if(KALVYNEX_GZIP)
  set(KALVYNEX_MAN_COPY ${PROJECT_BINARY_DIR}/man/kalvynex.1)
  add_custom_command(
    OUTPUT ${KALVYNEX_MAN_COPY}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${KALVYNEX_MAN_PAGE} ${KALVYNEX_MAN_COPY}
    COMMAND ${KALVYNEX_GZIP} -9 -n -f ${KALVYNEX_MAN_COPY}
    DEPENDS ${KALVYNEX_MAN_PAGE}
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(kalvynex_man ALL DEPENDS ${KALVYNEX_MAN_COPY}.gz)
  install(FILES ${KALVYNEX_MAN_COPY}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${KALVYNEX_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# kalvynex-inventory and its manual page, compressed the same way.
install(TARGETS kalvynex-inventory RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(KALVYNEX_INVENTORY_MAN_PAGE ${PROJECT_SOURCE_DIR}/man/kalvynex-inventory.1)
if(KALVYNEX_GZIP)
  set(KALVYNEX_INVENTORY_MAN_COPY ${PROJECT_BINARY_DIR}/man/kalvynex-inventory.1)
  add_custom_command(
    OUTPUT ${KALVYNEX_INVENTORY_MAN_COPY}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${KALVYNEX_INVENTORY_MAN_PAGE} ${KALVYNEX_INVENTORY_MAN_COPY}
    COMMAND ${KALVYNEX_GZIP} -9 -n -f ${KALVYNEX_INVENTORY_MAN_COPY}
    DEPENDS ${KALVYNEX_INVENTORY_MAN_PAGE}
    COMMENT "Compressing the manual page of kalvynex-inventory"
    VERBATIM)
  add_custom_target(kalvynex_inventory_man ALL DEPENDS ${KALVYNEX_INVENTORY_MAN_COPY}.gz)
  install(FILES ${KALVYNEX_INVENTORY_MAN_COPY}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${KALVYNEX_INVENTORY_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# Schemas of the CALIBRATION table and sample settings files, to be copied
# and edited; the program itself never reads them from here.
file(GLOB KALVYNEX_SCHEMAS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/schema-*.sql)
install(FILES
  ${KALVYNEX_SCHEMAS}
  ${PROJECT_SOURCE_DIR}/data/kalvynex.ini
  ${PROJECT_SOURCE_DIR}/data/qev.ini
  ${PROJECT_SOURCE_DIR}/data/odbc.ini.sample
  DESTINATION ${CMAKE_INSTALL_DATADIR}/kalvynex)

# ---------------------------------------------------------------------------
# Debian package

set(KALVYNEX_PACKAGE_MAINTAINER "Kalvynex maintainers <kalvynex@localhost>"
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
The package holds the program, its manual page, the table schemas and
sample settings and ODBC data source files in /usr/share/kalvynex.")

# Depends comes from the libraries that the programs link (libodbc2 for
# unixODBC, libxml2 for the StationXML writer, and the C and C++ runtimes) as
# dpkg-shlibdeps finds them, so the
# version bounds follow the build machine. Without dpkg-shlibdeps (package
# dpkg-dev) the same list is written out, without versions.
find_program(KALVYNEX_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KALVYNEX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libodbc2, libxml2, libc6, libstdc++6, libgcc-s1")
endif()
# A driver for the database that holds CALIBRATION.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsqliteodbc | odbc-postgresql | odbc-mariadb")
# isql and odbcinst, to set up and try a data source.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "unixodbc, gnuplot-nox")

include(CPack)
