# The console on Linux: the process's terminal, drawn by the terminal engine.
target_sources(vexl_platform_linux PRIVATE
  linux/linux_terminal.cpp
  linux/terminal_output.cpp
  linux/terminal_session.cpp)
target_link_libraries(vexl_platform_linux PUBLIC vexl_term)
