# `cpack` in the build folder makes panemaker_<version>_<arch>.deb of what `cmake --install` puts
# under /usr. dpkg-shlibdeps finds the libraries the program links; the plugins Qt loads at run
# time (the X11 platform, the SVG icon engine) are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME panemaker)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${PANEMAKER_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "snaps windows to halves, quarters and thirds of the screen")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[Panemaker lives in the system tray of an X11 desktop. Global shortcuts, its
tray menu or dragging a window to a screen edge snap the focused window to a
half, a quarter, a third or two thirds of its monitor, to the whole of it,
to the centre, back to where it was, or to the next monitor. After a snap it
offers the other windows, with live thumbnails, to fill the space left over.

It needs an X11 window manager that supports the Extended Window Manager
Hints (Openbox, Xfwm4, KWin, Mutter, Fluxbox, IceWM and others).]=])
include(CPack)
