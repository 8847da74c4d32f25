# The terminal window a player without a terminal goes on in, with terminal
# emulators that record what they were asked to run.
vexl_test(test_platform_programs
  SOURCES test_linux_programs.cpp
  LIBS vexl_platform_linux)
