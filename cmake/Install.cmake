# What `cmake --install` puts in place (the program, its manual page, README and examples; the
# window module) and the two Debian packages CPack makes of the same files: skyhaul, the console
# program that needs no Qt, and skyhaul-okno, the window.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME skyhaul)

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
if(TARGET skyhaul_okno)
  install(TARGETS skyhaul_okno LIBRARY DESTINATION ${SKYHAUL_WINDOW_MODULE_DIR} COMPONENT okno)
endif()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/skyhaul.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${SKYHAUL_DOC_DIR})
install(FILES docs/examples/ftpjob.ini docs/examples/crontab docs/examples/skyhaul-nocna.service
  docs/examples/skyhaul-nocna.timer DESTINATION ${SKYHAUL_DOC_DIR}/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME skyhaul)
set(CPACK_PACKAGE_VENDOR "Skyhaul")
set(CPACK_PACKAGE_CONTACT "Skyhaul developers <skyhaul@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Each package depends on the shared libraries of its own files only: the console package on
# the program's, the window package on the module's (Qt, xcb).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_SKYHAUL_PACKAGE_NAME skyhaul)
# Each description's first line is its package's summary.
set(CPACK_DEBIAN_SKYHAUL_DESCRIPTION "unattended FTP batch transfer tool for a scheduler\n\
Started by cron or a systemd timer with a job command such as *.txt,UP,DEL, Skyhaul\n\
connects to one FTP server, uploads or downloads every matching file (three attempts\n\
per file), logs each one, runs stored commands and follow-up programs and ends with an\n\
exit status the scheduler can read. It prints status lines on the terminal; the\n\
package skyhaul-okno adds the window that shows the progress on a display.")
set(CPACK_DEBIAN_OKNO_PACKAGE_NAME skyhaul-okno)
set(CPACK_DEBIAN_OKNO_PACKAGE_SECTION x11)
# Qt's platform plugins (xcb, wayland, offscreen) are no shared-library dependency of the module.
set(CPACK_DEBIAN_OKNO_PACKAGE_DEPENDS "skyhaul (= ${PROJECT_VERSION}), qt6-qpa-plugins")
set(CPACK_DEBIAN_OKNO_DESCRIPTION "window for the Skyhaul FTP batch transfer tool\n\
The Qt window of Skyhaul: when there is a display (or SKYHAUL_UI=window), skyhaul\n\
shows the queue, the file under way, a status line and the progress in a window\n\
instead of the terminal.")
include(CPack)
