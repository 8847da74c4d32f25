# The Debian package: `./build.sh package` (cpack in the build tree) writes
# build/vexlade_<version>~<release>_<arch>.deb. Its dependencies are read
# from the binaries by dpkg-shlibdeps, so they name the libraries of the
# release it was built on (libavcodec59 on Debian 12, libavcodec61 on 13),
# and the release (deb12, deb13) is part of its version: a package built on
# one release does not install on another.
set(VEXL_PACKAGE_MAINTAINER "vexlade developers <vexlade@localhost>"
  CACHE STRING "The Maintainer field of the Debian package")

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
set(CPACK_PACKAGE_NAME vexlade)
set(CPACK_PACKAGE_VERSION ${VEXL_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT ${VEXL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "text-mode demo player for the terminal and full screen")
set(CPACK_PACKAGE_DESCRIPTION
"vexlade plays text-mode demos: 80x50 frames of CP437 characters in the 16
VGA colours, paced by the soundtrack at 25 frames a second, in a terminal
(24-bit, 256 or 16 colours, only changed cells sent) or full screen with a
built-in 8x8 font, optionally through a simulation of a PC speaker.

It comes with the demo Eighty by Fifty, started from the desktop's
application menu or with \"vexl play\", and with vexl, a tool that makes,
packs, inspects and renders the frame format.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
include(CPack)
