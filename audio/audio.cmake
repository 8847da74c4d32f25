# The soundtrack with its sample clock, and the PC-speaker simulation.
vexl_library(vexl_audio
  SOURCES soundtrack.cpp speaker_sim.cpp
  LIBS vexl_platform_api vexl_records)

# The heard position from a sound device's consumption: OS-free, under
# every platform's audio output.
vexl_library(vexl_audio_clock SOURCES audio_clock.cpp)
