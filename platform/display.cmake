# The window and display service: the interface (platform/display.h,
# header only) and its SDL2 implementation.
target_sources(vexl_platform_linux PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/linux/sdl_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linux/sdl_direct_draw.cpp)
target_link_libraries(vexl_platform_linux PUBLIC PkgConfig::SDL2 vexl_sharp_scaling)
