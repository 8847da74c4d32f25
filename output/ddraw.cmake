# The full-screen screen: ag_ddraw over the window and display service.
vexl_library(vexl_ddraw
  SOURCES ag_ddraw.cpp
  LIBS vexl_vuvorazi vexl_glyphs vexl_records vexl_platform_api)

# Whole-multiple-then-smooth scaling of the 640x400 picture to a display,
# for every platform's full screen.
vexl_library(vexl_sharp_scaling SOURCES sharp_scaling.cpp)
