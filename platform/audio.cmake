# The audio library (libsndfile + SDL2) and the sound-file service.
target_sources(vexl_platform_linux PRIVATE
  linux/audio_engine.cpp
  linux/audio_outputs.cpp
  linux/linux_audio_library.cpp
  linux/sdl_audio_drivers.cpp
  linux/sound_decoder.cpp
  linux/linux_sound_files.cpp)
target_link_libraries(vexl_platform_linux PUBLIC PkgConfig::SDL2 PkgConfig::SNDFILE Threads::Threads vexl_audio_clock)
