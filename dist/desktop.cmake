# The desktop entry starts the player in the installed demo's folder
# (Path=), without a terminal: the questions come as desktop message boxes,
# and a "No" to full screen plays in a terminal window the player opens.
# It names both by absolute paths, so it is written at install time, for
# the prefix actually installed to (--prefix of cmake --install, /usr in
# the package).
install(CODE "
  set(gamesdir \"${VEXL_INSTALL_GAMESDIR}\")
  set(datadir \"${CMAKE_INSTALL_DATADIR}\")
  set(template \"${CMAKE_CURRENT_SOURCE_DIR}/desktop/vexlade.desktop.in\")
  set(entry_folder \"${CMAKE_CURRENT_BINARY_DIR}\")
  include(\"${CMAKE_CURRENT_SOURCE_DIR}/desktop/install_entry.cmake\")
" COMPONENT player)

# What software centres (GNOME Software, KDE Discover) show: AppStream
# metadata with the README's screenshots, as the project's site serves them,
# and one release for every entry of the changelog.
set(VEXL_SCREENSHOTS_URL "${VEXL_HOMEPAGE}screenshots/")
set(changelog ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog})
file(STRINGS ${changelog} changelog_lines REGEX "^[a-z]|^ -- ")
set(VEXL_RELEASES "")
set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^[a-z0-9.+-]+ \\(([^)]+)\\)")
    set(version ${CMAKE_MATCH_1})
  elseif(line MATCHES ">  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9]+) ")
    list(FIND months ${CMAKE_MATCH_2} month)
    math(EXPR month "${month} + 1")
    math(EXPR date "${CMAKE_MATCH_3} * 10000 + ${month} * 100 + ${CMAKE_MATCH_1}")
    string(REGEX REPLACE "(....)(..)(..)" "\\1-\\2-\\3" date ${date})
    string(APPEND VEXL_RELEASES "    <release version=\"${version}\" date=\"${date}\"/>\n")
  endif()
endforeach()
string(REGEX REPLACE "\n$" "" VEXL_RELEASES "${VEXL_RELEASES}")
set(metainfo ${CMAKE_CURRENT_BINARY_DIR}/${VEXL_APPSTREAM_ID}.metainfo.xml)
configure_file(desktop/vexlade.metainfo.xml.in ${metainfo} @ONLY)
install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT player)
