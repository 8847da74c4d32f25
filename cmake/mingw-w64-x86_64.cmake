# Cross-building the Windows player with Debian's mingw-w64 (the POSIX
# thread model, which std::thread needs): cmake -DCMAKE_TOOLCHAIN_FILE=this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VEXL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VEXL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXL_MINGW_TRIPLE}-windres)

# Libraries and headers only from the cross toolchain; build-time programs
# (the font generator's compiler, gzip) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VEXL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
