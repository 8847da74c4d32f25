# The widget toolkit: base widget, container with box layout, root screen
# with its per-cell queues.
vexl_library(vexl_vuvorazi
  SOURCES ag_raw.cpp ag_box.cpp ag_screen.cpp ag_cellqueue.cpp ag_check.cpp
  LIBS vexl_diag vexl_platform_api)
