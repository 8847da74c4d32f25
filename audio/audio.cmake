# The soundtrack with its sample clock, and the PC-speaker simulation.
vexl_library(vexl_audio
  SOURCES soundtrack.cpp speaker_sim.cpp
  LIBS vexl_platform_api vexl_records)

# The heard position from a sound device's consumption: OS-free, under
# every platform's audio output.
vexl_library(vexl_audio_clock SOURCES audio_clock.cpp)

# The audio library's engine, shared by the platforms: streams, DSP hooks,
# mixing, the silent output, WAV and headerless decoding. Each platform
# adds its device and its decoder.
vexl_library(vexl_audio_engine
  SOURCES audio_engine.cpp decoded_sound.cpp engine_audio_library.cpp
          null_output.cpp rate_converter.cpp wav_decoder.cpp
  LIBS vexl_audio_clock vexl_platform_api Threads::Threads)
