# The Debian package, made by CPack from what `cmake --install` installs:
#   cmake --build build --target package     (or: cd build && cpack -G DEB)
# gives build/rastrel_VERSION_ARCH.deb.  Its dependencies are worked out by
# dpkg-shlibdeps from the program and its modules (desktop.so: GTK;
# terminal.so: curses; print.so: cups and cairo).
set(CPACK_PACKAGE_NAME rastrel)
set(CPACK_PACKAGE_VENDOR "The Rastrel authors")
set(CPACK_PACKAGE_VERSION ${RASTREL_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter of scan files into TIFF images, with a console window")
set(CPACK_PACKAGE_DESCRIPTION
  "Rastrel converts the numbered scan files of a scanning instrument (a control\n"
  "file scaninfo.dat and 0.bin, 1.bin, ...) into 8-bit greyscale TIFF images.\n"
  "It runs in a console window of its own that keeps a transcript of\n"
  "everything written and typed, which can be scrolled, selected, edited,\n"
  "copied, saved and printed: a desktop window, a window inside any terminal,\n"
  "or plain standard streams for scripts.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Rastrel maintainers <rastrel@example.org>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
