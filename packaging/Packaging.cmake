# Install rules and the Debian package (CPack): the program, its sounds, the service
# and its launcher. scripts/package builds the amd64 and arm64 packages.
include(GNUInstallDirs)
# `install` and CPack build what they install only, not the tests (scripts/package).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Relocations read-only and bound at start (as Debian's hardening flags make them).
target_link_options(zqcapp PRIVATE -Wl,-z,relro,-z,now)
install(TARGETS zqcapp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Copied into "./sound" of a data home that lacks them, at the panel's start.
install(FILES ${CMAKE_SOURCE_DIR}/data/sound/tab.wav ${CMAKE_SOURCE_DIR}/data/sound/ok.wav
              ${CMAKE_SOURCE_DIR}/data/sound/ng.wav
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zqcapp/sound)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/zqcapp-launch DESTINATION lib/zqcapp)
# Debian 12 keeps units in /lib (usrmerge makes it /usr/lib on disk).
install(FILES ${CMAKE_SOURCE_DIR}/packaging/zqcapp.service DESTINATION /lib/systemd/system)
# The board's interfaces keep the kernel's names (eth0, wlan0), and the system's network
# managers leave them to the panel (systemd-networkd, NetworkManager): plain files, read
# only where udev, networkd or NetworkManager are installed.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/70-zqcapp-kernel-names.link
              ${CMAKE_SOURCE_DIR}/packaging/10-zqcapp-unmanaged.network
        DESTINATION /lib/systemd/network)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/zqcapp-unmanaged.conf
        DESTINATION /usr/lib/NetworkManager/conf.d)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME zqcapp)
# Debian wants the changelog and manual page compressed.
set(_pkg ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_pkg})
add_custom_command(OUTPUT ${_pkg}/changelog.Debian.gz ${_pkg}/zqcapp.1.gz
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/changelog > ${_pkg}/changelog.Debian.gz
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/zqcapp.1 > ${_pkg}/zqcapp.1.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog ${CMAKE_SOURCE_DIR}/packaging/zqcapp.1)
add_custom_target(zqcapp_package_docs ALL DEPENDS ${_pkg}/changelog.Debian.gz ${_pkg}/zqcapp.1.gz)
install(FILES ${_pkg}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${_pkg}/zqcapp.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zqcapp)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kest panel maintainers <panel@kest.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "operator panel and cell controller of networked electric screwdrivers")
set(CPACK_PACKAGE_DESCRIPTION
    "The panel finds tools by UDP multicast, keeps two Modbus/TCP links to each,
runs jobs step by step, judges and logs every screw, and lets operators edit
tools, jobs and settings on a 1280 x 800 touch screen. It runs as the zqcapp
service on the board's framebuffer, with /home/dromik as its data home.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_STRIP_FILES ON)
# Libraries from the program's links (dpkg-shlibdeps). A cross build has no package
# database for its sysroot: scripts/package hands it the amd64 package's list (the same
# Debian packages on every architecture) in KEST_DEB_DEPENDS.
if(KEST_DEB_DEPENDS)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${KEST_DEB_DEPENDS}")
else()
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
# Fonts through fontconfig; the mixer command of the volume setting; the outside
# programs of the network: interface and route commands, DHCP client, access point,
# channel survey and the FTP share.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-dejavu-core, alsa-utils, net-tools, dhcpcd-base, hostapd, wireless-tools, proftpd-basic")
# triggers: the initramfs, which holds the .link files, is rebuilt where there is one.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst
    ${CMAKE_SOURCE_DIR}/packaging/prerm ${CMAKE_SOURCE_DIR}/packaging/postrm
    ${CMAKE_SOURCE_DIR}/packaging/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
