# What `cmake --install` puts in place (the program, its manual page, README and examples) and
# the Debian package CPack makes of the same files.
include(GNUInstallDirs)

# The page carries the project version; man finds it compressed, as Debian ships pages.
configure_file(docs/skyhaul.1 ${CMAKE_CURRENT_BINARY_DIR}/skyhaul.1 @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/skyhaul.1.gz
  COMMAND gzip -9 -n -f -k ${CMAKE_CURRENT_BINARY_DIR}/skyhaul.1
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/skyhaul.1
  VERBATIM)
add_custom_target(skyhaul_manpage ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/skyhaul.1.gz)

set(SKYHAUL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/skyhaul)
if(TARGET skyhaul)
  install(TARGETS skyhaul RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/skyhaul.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${SKYHAUL_DOC_DIR})
install(FILES docs/examples/ftpjob.ini docs/examples/crontab docs/examples/skyhaul-nocna.service
  docs/examples/skyhaul-nocna.timer DESTINATION ${SKYHAUL_DOC_DIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME skyhaul)
set(CPACK_PACKAGE_VENDOR "Skyhaul")
set(CPACK_PACKAGE_CONTACT "Skyhaul developers <skyhaul@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "unattended FTP batch transfer tool for a scheduler")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Started by cron or a systemd timer with a job command such as *.txt,UP,DEL, Skyhaul\n\
connects to one FTP server, uploads or downloads every matching file (three attempts\n\
per file), logs each one, runs stored commands and follow-up programs and ends with an\n\
exit status the scheduler can read. A window shows the progress when there is a\n\
display; otherwise it prints status lines on the terminal.")
include(CPack)
