# Inputs and outputs of the vexl tool: regular-file inputs, outputs that
# replace their targets whole and leave no name behind when interrupted.
target_sources(vexl_platform_linux PRIVATE linux/tool_files.cpp)
