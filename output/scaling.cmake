# Sharp scaling done on the processor, for displays that only hand out a
# surface to write into (DirectDraw in a larger mode).
vexl_library(vexl_sharp_scaler
  SOURCES sharp_scaler.cpp
  LIBS vexl_sharp_scaling vexl_glyphs)
