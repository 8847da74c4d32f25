# Sharp scaling done on the processor, for displays that only hand out a
# surface (DirectDraw in a larger mode).
vexl_library(vexl_sharp_scaler
  SOURCES sharp_scaler.cpp $<$<BOOL:${WIN32}>:${PROJECT_SOURCE_DIR}/platform/linux/sharp_scaling.cpp>
  LIBS vexl_glyphs vexl_platform_api)
