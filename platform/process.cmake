# Process-level services: standard descriptors kept taken, termination, fatal
# and job-control signals, sleep, whole-file reading.
target_sources(vexl_platform_linux PRIVATE
  linux/standard_descriptors.cpp
  linux/termination_signals.cpp
  linux/fatal_signals.cpp
  linux/job_control_signals.cpp
  linux/linux_sleep.cpp
  linux/linux_files.cpp
  linux/stderr_terminal.cpp)
