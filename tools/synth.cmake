# The soundtrack synthesizer and the score (beat grid) of the default
# soundtrack; the demo generator and `vexl mksound` use it.
vexl_library(vexl_synth
  SOURCES synth/score.cpp synth/arrangement.cpp)
