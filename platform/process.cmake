# The player's process: its real services installed and given back
# (linux_process_services.cpp), the standard descriptors kept taken first.
# Process-level services: termination, fatal and job-control signals, sleep,
# whole-file reading.
target_sources(vexl_platform_linux PRIVATE
  linux/linux_process_services.cpp
  linux/standard_descriptors.cpp
  linux/termination_signals.cpp
  linux/fatal_signals.cpp
  linux/job_control_signals.cpp
  linux/linux_sleep.cpp
  linux/linux_files.cpp
  linux/stderr_terminal.cpp)
target_link_libraries(vexl_platform_linux PUBLIC vexl_terminal_glyphs)
