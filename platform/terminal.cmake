# The console on Linux: the process's terminal.
target_sources(vexl_platform_linux PRIVATE
  linux/frame_painter.cpp
  linux/linux_terminal.cpp)
