# The packed frame stream (reader), its block writer, the block walk and
# frame reader every reader of the frames shares, and the file inspector;
# the web site's layout of frames in pieces.
vexl_library(vexl_pack
  SOURCES pack_stream.cpp block_writer.cpp pack_blocks.cpp frame_reader.cpp pack_survey.cpp piece_layout.cpp
  LIBS vexl_frame_geometry vexl_lzo)
