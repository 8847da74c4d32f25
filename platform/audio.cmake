# The audio library on Linux: libsndfile decodes, SDL2 plays and converts
# rates, the shared engine (audio/) does the rest; and the sound-file
# service.
target_sources(vexl_platform_linux PRIVATE
  linux/linux_audio_library.cpp
  linux/sdl_audio_drivers.cpp
  linux/sdl_audio_output.cpp
  linux/sdl_rate_converter.cpp
  linux/sound_decoder.cpp
  linux/linux_sound_files.cpp)
target_link_libraries(vexl_platform_linux PUBLIC vexl_audio_engine PkgConfig::SDL2 PkgConfig::SNDFILE Threads::Threads)
