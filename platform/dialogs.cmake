# Message boxes: terminal prompt, desktop box, or the default answer.
target_sources(vexl_platform_linux PRIVATE linux/linux_dialogs.cpp linux/given_answers.cpp)
target_link_libraries(vexl_platform_linux PUBLIC PkgConfig::SDL2)
