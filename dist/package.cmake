# The Debian packages: `./build.sh package` (cpack in the build tree) writes
# build/vexlade_<version>~<release>_<arch>.deb (the player) and
# build/vexl_<version>~<release>_<arch>.deb (the tool), one for each install
# component; vexl depends on the player of its own version, which `vexl play`
# starts. Their dependencies are read from the binaries by dpkg-shlibdeps,
# so they name the libraries of the release they were built on (libavcodec59
# on Debian 12, libavcodec61 on 13), and the release (deb12, deb13) is part
# of their version: a package built on one release does not install on
# another.

cmake_host_system_information(RESULT vexl_os QUERY DISTRIB_ID DISTRIB_VERSION_ID DISTRIB_VERSION_CODENAME)
list(GET vexl_os 0 vexl_os_id)
list(GET vexl_os 1 vexl_os_version)
list(GET vexl_os 2 vexl_os_codename)
if(vexl_os_id STREQUAL "debian" AND vexl_os_version)
  set(vexl_release deb${vexl_os_version})
elseif(vexl_os_version)
  set(vexl_release ${vexl_os_id}${vexl_os_version})
else()  # Debian testing and unstable have a code name only
  set(vexl_release ${vexl_os_id}-${vexl_os_codename})
endif()
set(VEXL_PACKAGE_RELEASE ${vexl_release}
  CACHE STRING "The release the Debian package is built for, appended to its version")
set(VEXL_PACKAGE_VERSION ${PROJECT_VERSION}~${VEXL_PACKAGE_RELEASE}
  CACHE INTERNAL "The Debian package's version (for its check)")

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL player tools)
set(CPACK_PACKAGE_NAME vexlade)
set(CPACK_PACKAGE_VERSION ${VEXL_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT ${VEXL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_HOMEPAGE_URL ${VEXL_HOMEPAGE})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_TOOLS_DEPENDS player)

set(CPACK_DEBIAN_PLAYER_PACKAGE_NAME ${VEXL_PACKAGE_player})
set(CPACK_DEBIAN_PLAYER_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PLAYER_DESCRIPTION "text-mode demo player for the terminal and full screen
vexlade plays text-mode demos: 80x50 frames of CP437 characters in the 16
VGA colours, paced by the soundtrack at 25 frames a second, in a terminal
(24-bit, 256 or 16 colours, only changed cells sent) or full screen with a
built-in 8x8 font, optionally through a simulation of a PC speaker.

It comes with the demo Eighty by Fifty, started from the desktop's
application menu or with \"vexlade\" in its folder.")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${VEXL_PACKAGE_tools})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION video)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "companion tool of the vexlade text-mode demo player
vexl works on the frame format of vexlade's text-mode demos: it packs,
unpacks, inspects and renders frame files, records a demo as a video file
(MP4, WebM, MKV, GIF, APNG, through FFmpeg's libraries), writes a web site
that plays a demo in a browser, makes the default demo Eighty by Fifty,
and plays a demo from any folder with \"vexl play\".")

# cpack dates the packages' files from SOURCE_DATE_EPOCH; this hands it the
# build's date (see dist/CMakeLists.txt).
set(CPACK_VEXL_SOURCE_DATE_FILE ${VEXL_SOURCE_DATE_FILE})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/package_dates.cmake)
include(CPack)
