# The console screen.
vexl_library(vexl_console
  SOURCES ag_console.cpp
  LIBS vexl_vuvorazi vexl_records vexl_platform_api)
