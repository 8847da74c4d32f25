# The desktop entry starts the player in the installed demo's folder
# (Path=), without a terminal: the questions come as desktop message boxes.
# It names both by absolute paths, so it is written at install time, for
# the prefix actually installed to (--prefix of cmake --install, /usr in
# the package).
install(CODE "
  set(bindir \"${CMAKE_INSTALL_BINDIR}\")
  set(datadir \"${CMAKE_INSTALL_DATADIR}\")
  set(template \"${CMAKE_CURRENT_SOURCE_DIR}/desktop/vexlade.desktop.in\")
  set(entry_folder \"${CMAKE_CURRENT_BINARY_DIR}\")
  include(\"${CMAKE_CURRENT_SOURCE_DIR}/desktop/install_entry.cmake\")
")
