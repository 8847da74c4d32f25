# vexl web: a static site with the browser player (built in web/) and the
# demo in pieces: frames deflated by libdeflate, the soundtrack encoded
# through the record tool's FFmpeg encoders.
pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET GLOBAL libdeflate)
vexl_library(vexl_site
  SOURCES site/frame_pieces.cpp site/sound_pieces.cpp site/poster.cpp site/site_manifest.cpp
          site/site_layout.cpp site/site_folder.cpp
  LIBS vexl_pack vexl_record vexl_web_page vexl_tool_common PkgConfig::LIBDEFLATE Threads::Threads)
target_sources(vexl PRIVATE vexl/cmd_web.cpp)
target_link_libraries(vexl PRIVATE vexl_site vexl_render)
