# Font8x8, Palette16 and the glyph rasteriser, shared by the full-screen
# screen and `vexl render`.
#
# The font table is generated at build time from the system's console fonts
# (Debian's console-data package): they are GPL data, so their bytes are
# read from the installed package and never copied into the sources.

set(VEXL_CONSOLEFONTS_DIR /usr/share/consolefonts CACHE PATH
    "Folder of the PSF console fonts (Debian package console-data)")
find_program(VEXL_GZIP gzip REQUIRED)

set(font_dir ${CMAKE_CURRENT_BINARY_DIR}/generated/output)
set(font_inputs)
foreach(font cp865-8x8 cp850-8x8)
  set(packed ${VEXL_CONSOLEFONTS_DIR}/${font}.psf.gz)
  if(NOT EXISTS ${packed})
    message(FATAL_ERROR "${packed} not found: install the console-data package "
                        "(or point VEXL_CONSOLEFONTS_DIR at its fonts)")
  endif()
  add_custom_command(
    OUTPUT ${font_dir}/${font}.psf
    COMMAND ${CMAKE_COMMAND} -E make_directory ${font_dir}
    COMMAND sh -c "\"$0\" -dc \"$1\" > \"$2\"" ${VEXL_GZIP} ${packed} ${font_dir}/${font}.psf
    DEPENDS ${packed}
    COMMENT "Unpacking console font ${font}"
    VERBATIM)
  list(APPEND font_inputs ${font_dir}/${font}.psf)
endforeach()

# A build-time tool: runs on the build machine, ships nowhere. A cross
# build compiles it with the build machine's own compiler.
if(CMAKE_CROSSCOMPILING)
  find_program(VEXL_HOST_CXX NAMES c++ g++ REQUIRED)
  set(generator ${CMAKE_CURRENT_BINARY_DIR}/generate_font8x8)
  add_custom_command(
    OUTPUT ${generator}
    COMMAND ${VEXL_HOST_CXX} -std=c++20 -O1 ${CMAKE_CURRENT_SOURCE_DIR}/generate_font8x8.cpp -o ${generator}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/generate_font8x8.cpp
    COMMENT "Compiling the font generator for the build machine"
    VERBATIM)
else()
  add_executable(generate_font8x8 generate_font8x8.cpp)
  target_link_libraries(generate_font8x8 PRIVATE vexl_warnings)
  set(generator generate_font8x8)
endif()

add_custom_command(
  OUTPUT ${font_dir}/font8x8_glyphs.inc
  COMMAND ${generator} ${font_inputs} ${font_dir}/font8x8_glyphs.inc
  DEPENDS ${generator} ${font_inputs}
  COMMENT "Generating the 8x8 CP437 font table"
  VERBATIM)

vexl_library(vexl_glyphs
  SOURCES glyph_raster.cpp ${font_dir}/font8x8_glyphs.inc
  LIBS vexl_frame_geometry)
target_include_directories(vexl_glyphs PUBLIC ${CMAKE_CURRENT_BINARY_DIR}/generated)

vexl_library(vexl_terminal_glyphs
  SOURCES terminal_glyphs.cpp
  LIBS vexl_glyphs vexl_platform_api)
