# vexl record: the demo as a video file with its soundtrack, encoded through
# FFmpeg's libraries.
pkg_check_modules(LIBAV REQUIRED IMPORTED_TARGET libavformat libavcodec libswscale libswresample libavutil)
vexl_library(vexl_av SOURCES record/av_support.cpp LIBS PkgConfig::LIBAV)
vexl_library(vexl_record
  SOURCES record/record_format.cpp record/muxer_file.cpp record/muxer.cpp
          record/picture_converter.cpp record/video_encoder.cpp record/audio_encoder.cpp
          record/encoder_stream.cpp
          record/played_sound.cpp record/progress.cpp record/recorder.cpp
  LIBS vexl_av vexl_glyphs vexl_pack vexl_audio)
target_sources(vexl PRIVATE vexl/cmd_record.cpp)
target_link_libraries(vexl PRIVATE vexl_record)

# Reading recordings back, for the tests and the benchmark.
vexl_library(vexl_record_reader SOURCES record/media_reader.cpp LIBS vexl_av)
