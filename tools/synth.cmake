# The soundtrack synthesizer and the score (beat grid) of the default
# soundtrack; the demo generator and `vexl mksound` use it.
vexl_library(vexl_synth
  SOURCES synth/score.cpp synth/arrangement.cpp synth/song.cpp synth/dsp.cpp
          synth/instruments.cpp synth/default_soundtrack.cpp synth/soundtrack_wav.cpp
  LIBS vexl_platform_api)

# vexl speaker and vexl mksound; vexl installs the real sound-file service.
target_sources(vexl PRIVATE vexl/cmd_speaker.cpp vexl/cmd_mksound.cpp vexl/sound_service.cpp)
target_link_libraries(vexl PRIVATE vexl_synth vexl_audio vexl_platform_linux)
