# vexl render: frames as PNG pictures through the full-screen rasteriser.
vexl_library(vexl_render
  SOURCES vexl/frame_picture.cpp
  LIBS vexl_glyphs PkgConfig::PNG)
target_sources(vexl PRIVATE vexl/cmd_render.cpp)
target_link_libraries(vexl PRIVATE vexl_render vexl_pack)
