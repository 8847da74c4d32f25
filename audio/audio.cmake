# The soundtrack with its sample clock, and the PC-speaker simulation.
vexl_library(vexl_audio
  SOURCES soundtrack.cpp speaker_sim.cpp
  LIBS vexl_platform_api vexl_records)
