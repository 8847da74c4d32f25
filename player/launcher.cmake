# The launcher: start-up questions, loading, playback loop, teardown; and
# the `vexlade` executable that wires the real platform services to it.
vexl_library(vexl_launcher
  SOURCES launcher.cpp screen_choice.cpp
  LIBS vexl_console vexl_ddraw vexl_pack vexl_audio vexl_records vexl_platform_api)

add_executable(vexlade main.cpp)
target_link_libraries(vexlade PRIVATE vexl_launcher vexl_platform_linux vexl_warnings)
