# Debug output, log file, local clock and breakpoint trap (real versions);
# the interfaces and the re-entrant lock are header-only.
target_sources(vexl_platform_linux PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/linux/linux_diagnostics.cpp)
