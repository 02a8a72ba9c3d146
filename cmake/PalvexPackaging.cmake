# Installing the Linux way: man pages, the headless monitor's systemd unit,
# the Prometheus alert rules, and the Debian package built from all install
# rules by CPack ("./build.sh package", or "cpack -G DEB" in the build folder).

# ---- man pages, made by help2man from each program's --help --------------
find_program(PALVEX_HELP2MAN help2man)
find_program(PALVEX_GZIP gzip)
set(palvex_man_programs palvex palvex-headless palvex-export)
if(TARGET palvex-modemsim)
  list(APPEND palvex_man_programs palvex-modemsim)
endif()
set(palvex_man_summary_palvex "monitor for a cellular modem (2G to 5G) on a serial port")
set(palvex_man_summary_palvex-headless "monitor a cellular modem without a window, records and Prometheus metrics")
set(palvex_man_summary_palvex-modemsim "simulated cellular modem on a pseudo-terminal")
set(palvex_man_summary_palvex-export "turn a palvex record log into a map: GeoJSON, KML, GPX or CSV")
if(PALVEX_HELP2MAN AND PALVEX_GZIP)
  set(palvex_man_pages)
  foreach(program IN LISTS palvex_man_programs)
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
    set(include ${PROJECT_SOURCE_DIR}/doc/man/${program}.h2m)
    add_custom_command(OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
              ${PALVEX_HELP2MAN} --no-info --section=1 --source=Palvex
              --version-string=${PROJECT_VERSION}
              "--name=${palvex_man_summary_${program}}" --include=${include}
              --output=${page} $<TARGET_FILE:${program}>
      # -n: no time stamp, so the same sources give the same package.
      COMMAND ${PALVEX_GZIP} -9nf ${page}
      DEPENDS ${program} ${include}
      COMMENT "Man page ${program}(1)"
      VERBATIM)
    list(APPEND palvex_man_pages ${page}.gz)
  endforeach()
  add_custom_target(palvex_man_pages ALL DEPENDS ${palvex_man_pages})
  install(FILES ${palvex_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man or gzip not found: no man pages (scripts/install-deps.sh installs help2man)")
endif()

# ---- the headless monitor as a service, its options, its alert rules -----
# The unit goes where systemd looks for a package's units: /usr/lib/systemd/system.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/palvex-headless@.service
  DESTINATION lib/systemd/system)
set(palvex_docdir ${CMAKE_INSTALL_DATADIR}/doc/palvex)
# Daily rotation of the service's logs; the monitors reopen them on SIGHUP.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/logrotate DESTINATION /etc/logrotate.d RENAME palvex)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/headless.conf ${PROJECT_SOURCE_DIR}/packaging/headless-ttyUSB0.conf
              ${PROJECT_SOURCE_DIR}/packaging/headless-ttyUSB1.conf DESTINATION ${palvex_docdir}/examples)
install(FILES ${PROJECT_SOURCE_DIR}/doc/prometheus/palvex-alerts.yml DESTINATION ${palvex_docdir}/prometheus)
# Where tools and configuration management look for them, also on minimal
# images that leave /usr/share/doc out.
install(FILES ${PROJECT_SOURCE_DIR}/doc/prometheus/palvex-alerts.yml DESTINATION ${CMAKE_INSTALL_DATADIR}/palvex/prometheus)
install(FILES ${PROJECT_SOURCE_DIR}/doc/grafana/palvex.json DESTINATION ${CMAKE_INSTALL_DATADIR}/palvex/grafana)
install(FILES ${PROJECT_SOURCE_DIR}/doc/headless.md ${PROJECT_SOURCE_DIR}/doc/modems.md
  ${PROJECT_SOURCE_DIR}/doc/recording.md ${PROJECT_SOURCE_DIR}/doc/commands.md
  ${PROJECT_SOURCE_DIR}/doc/drive-test.md ${PROJECT_SOURCE_DIR}/doc/screenshot-drive-map.png
  DESTINATION ${palvex_docdir})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${palvex_docdir})
if(PALVEX_GZIP)
  set(palvex_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
  add_custom_command(OUTPUT ${palvex_changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${PALVEX_GZIP} -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${palvex_changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
  add_custom_target(palvex_changelog ALL DEPENDS ${palvex_changelog})
  install(FILES ${palvex_changelog} DESTINATION ${palvex_docdir})
endif()

# ---- the Debian package -----------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME palvex)
set(CPACK_PACKAGE_VENDOR "RYN s.r.o.")
set(CPACK_PACKAGE_CONTACT "Palvex developers <palvex@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor for a cellular modem (2G to 5G) on a serial port")
set(CPACK_PACKAGE_DESCRIPTION
  "Palvex identifies a cellular modem (2G to 5G) on a serial port with AT
commands and polls it for signal quality, operator, registration, activity
and the serving and neighbour cells. The window shows a live signal bar with
a history graph, the cells, an operator switch fed by a network scan and a
debug terminal. palvex-headless runs the same
monitor without a window, writes one record per poll cycle and serves
Prometheus metrics; a systemd template unit runs it as a service per modem.
palvex-export turns a record log with positions into a map (GeoJSON, KML,
GPX, CSV). palvex-modemsim simulates a modem on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Only the programs' own component: the benchmarks stay out of the package.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};Unspecified;/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Maintainer scripts: the monitors stop when the package is removed and
# restart on the new program after an upgrade.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/prerm ${PROJECT_SOURCE_DIR}/packaging/postrm
  ${PROJECT_SOURCE_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# Directories in the package as Debian has them (CPack's default is 0775).
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)

if(PALVEX_BUILD_TESTS)
  add_subdirectory(tests/packaging)
endif()
