# `make deb`: the Debian package of the programs, the sound library and the desktop files.
# The dependencies are worked out from the binaries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vsr-player)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VSR Player developers")
set(CPACK_PACKAGE_CONTACT "VSR Player developers <developers@vsrplayer.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "player for VSR screen recordings")
# CPack puts the summary first and indents the paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "VSR Player plays VSR screen recordings: a screen area kept as compressed
picture tiles, the mouse pointer's track, a Speex voice track and optional
header and trailer pictures with a closing link. The pictures follow the
voice, full screen or in a window with the player controls; recordings on a
web server play while they download.

The vsr tool shows what a recording holds, saves pictures and the voice,
exports ordinary video (MP4, WebM, MKV, GIF) and packs self-playing files.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The sound library is opened at run time, so dpkg-shlibdeps finds it among the package's own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/src)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
