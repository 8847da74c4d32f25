# The terminal, dialogs and signal services, driven through pseudo-terminals.
vexl_test(test_platform_terminal
  SOURCES test_linux_terminal.cpp test_linux_dialogs.cpp
  LIBS vexl_platform_linux
  PROPERTIES TIMEOUT 120)
