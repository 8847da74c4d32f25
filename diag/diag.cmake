# The debug log and failed-check reporting.
vexl_library(vexl_diag
  SOURCES debug_log.cpp
  LIBS vexl_platform_api)
