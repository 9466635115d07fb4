# Installed layout: the program folder under lib/parlivo, a launcher in bin, and the desktop
# integration files under share.
file(RELATIVE_PATH PARLIVO_LAUNCHER_RELATIVE /${CMAKE_INSTALL_BINDIR} /${PARLIVO_INSTALL_PROGRAM_DIR})
configure_file(${CMAKE_CURRENT_LIST_DIR}/parlivo.in ${CMAKE_BINARY_DIR}/launcher/parlivo @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/launcher/parlivo DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/com.quorvane.Parlivo.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/com.quorvane.Parlivo.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/parlivo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME com.quorvane.Parlivo.svg)
foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/parlivo-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME com.quorvane.Parlivo.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME parlivo)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "Quorvane <support@quorvane.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Send one text message to many phones at once")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# Library dependencies are read off the executable by dpkg-shlibdeps; the rest are programs
# it starts, data it shows and the TLS library Qt loads at run time, which no library scan
# can see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libsecret is opened by the keyring library when the desktop's keyring is asked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "iputils-ping, xdg-utils, ca-certificates, fonts-liberation, libssl3, libsecret-1-0")
include(CPack)
