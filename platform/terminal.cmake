# The console on Linux: the process's terminal. libchafa turns the picture
# into block symbols when the terminal is smaller than the console.
pkg_check_modules(CHAFA REQUIRED IMPORTED_TARGET chafa)
target_sources(vexl_platform_linux PRIVATE
  linux/compositor.cpp
  linux/frame_painter.cpp
  linux/linux_terminal.cpp
  linux/picture_layout.cpp
  linux/scaled_view.cpp
  linux/terminal_output.cpp
  linux/terminal_session.cpp)
target_link_libraries(vexl_platform_linux PRIVATE PkgConfig::CHAFA)
