# vexl play: runs the player on the installed demo, the build tree's demo
# or a given folder. Where those lie is written into a header.
file(RELATIVE_PATH VEXL_INSTALLED_DEMO_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR}
  ${CMAKE_INSTALL_FULL_DATADIR}/vexlade/demo)
file(RELATIVE_PATH VEXL_INSTALLED_PLAYER_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR}
  ${VEXL_INSTALL_FULL_GAMESDIR}/vexlade)
configure_file(${PROJECT_SOURCE_DIR}/cmake/vexl_layout.h.in ${CMAKE_CURRENT_BINARY_DIR}/vexl_layout.h.in @ONLY)
file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/vexl_layout.h
  INPUT ${CMAKE_CURRENT_BINARY_DIR}/vexl_layout.h.in)

# An object library, so that the command's registration is linked into
# its tests as into vexl.
add_library(vexl_play OBJECT vexl/cmd_play.cpp vexl/player_place.cpp)
target_include_directories(vexl_play PUBLIC ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR}/generated)
target_link_libraries(vexl_play PUBLIC vexl_tool_common vexl_platform_api PRIVATE vexl_warnings)
target_sources(vexl PRIVATE vexl/programs_service.cpp)
target_link_libraries(vexl PRIVATE vexl_play)
