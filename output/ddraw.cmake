# The full-screen screen: ag_ddraw over the window and display service.
vexl_library(vexl_ddraw
  SOURCES ag_ddraw.cpp
  LIBS vexl_vuvorazi vexl_glyphs vexl_records vexl_platform_api)
