# The default demo: the frame generator (effects, timeline) and the
# `vexl mkdemo` command that writes it out with its soundtrack.
file(GLOB demo_effects CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/demo/effects/*.cpp)
vexl_library(vexl_demo
  SOURCES
    demo/big_font.cpp
    demo/canvas.cpp
    demo/demo_writer.cpp
    demo/fixed_math.cpp
    demo/generator.cpp
    demo/music.cpp
    demo/palette.cpp
    demo/radial_field.cpp
    demo/starfield.cpp
    demo/timeline.cpp
    demo/transition.cpp
    ${demo_effects}
  LIBS vexl_synth vexl_pack)

# vexl mkdemo
target_sources(vexl PRIVATE vexl/cmd_mkdemo.cpp)
target_link_libraries(vexl PRIVATE vexl_demo)

# Developer preview of single frames (ANSI or raw); not installed.
add_executable(demo_preview demo/preview/demo_preview.cpp)
target_link_libraries(demo_preview PRIVATE vexl_demo vexl_warnings)
