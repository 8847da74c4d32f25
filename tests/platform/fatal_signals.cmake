# Signals that end the process: the terminal is given back first.
vexl_test(test_platform_fatal_signals
  SOURCES test_fatal_signals.cpp
  LIBS vexl_platform_linux
  PROPERTIES TIMEOUT 60)
