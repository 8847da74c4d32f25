# vexl pack, unpack and info: the packed frame file from the command line.
target_sources(vexl PRIVATE vexl/cmd_pack.cpp vexl/cmd_unpack.cpp vexl/cmd_info.cpp
  vexl/frame_file.cpp)
target_link_libraries(vexl PRIVATE vexl_pack)
