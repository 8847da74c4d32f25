# The launcher: start-up questions, loading, playback loop, teardown; and
# the `vexlade` executable.
vexl_library(vexl_launcher
  SOURCES launcher.cpp screen_choice.cpp
  LIBS vexl_console vexl_ddraw vexl_pack vexl_audio vexl_records vexl_platform_api)

# The player over the process services of the system it is built for.
add_executable(vexlade main.cpp)
if(WIN32)
  # One vexlade.exe that needs no DLL beyond Windows's own.
  target_link_libraries(vexlade PRIVATE vexl_launcher vexl_platform_windows vexl_warnings)
  target_link_options(vexlade PRIVATE -static -static-libgcc -static-libstdc++)
else()
  target_link_libraries(vexlade PRIVATE vexl_launcher vexl_platform_linux vexl_warnings)
endif()
