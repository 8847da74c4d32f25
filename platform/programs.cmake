# Starting another program in place of this one (`vexl play`).
target_sources(vexl_platform_linux PRIVATE linux/linux_programs.cpp)
