# The launcher: start-up questions, loading, playback loop, teardown; and
# the `vexlade` executable that wires the real platform services to it,
# one thin installer per platform.
vexl_library(vexl_launcher
  SOURCES launcher.cpp screen_choice.cpp
  LIBS vexl_console vexl_ddraw vexl_pack vexl_audio vexl_records vexl_platform_api)

if(WIN32)
  # One vexlade.exe that needs no DLL beyond Windows's own.
  add_executable(vexlade main_windows.cpp)
  target_link_libraries(vexlade PRIVATE vexl_launcher vexl_platform_windows vexl_warnings)
  target_link_options(vexlade PRIVATE -static -static-libgcc -static-libstdc++)
else()
  add_executable(vexlade main.cpp)
  target_link_libraries(vexlade PRIVATE vexl_launcher vexl_terminal_glyphs vexl_platform_linux vexl_warnings)
endif()
