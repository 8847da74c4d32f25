# The LZO1X decoder the frame stream links: the system's LZO 2 library, or
# where there is none to link (the Windows player; the web player compiles
# the same files itself) miniLZO, its single-file form, from the sources
# Debian's liblzo2-dev ships (the same release as the library).
# player/minilzo_shim makes "lzo/lzo1x.h" resolve to miniLZO's header;
# miniLZO's headers count as system headers, as their macros cast in C's
# style, which -Wold-style-cast would report in our code.

set(VEXL_MINILZO_DIR /usr/share/lzo/minilzo CACHE PATH "Folder of minilzo.c and its headers")
set(VEXL_MINILZO_SHIM ${PROJECT_SOURCE_DIR}/player/minilzo_shim)

function(vexl_require_minilzo)
  if(NOT EXISTS ${VEXL_MINILZO_DIR}/minilzo.c)
    message(FATAL_ERROR "${VEXL_MINILZO_DIR}/minilzo.c not found: install liblzo2-dev "
                        "(or point VEXL_MINILZO_DIR at miniLZO's sources)")
  endif()
endfunction()

if(WIN32)
  vexl_require_minilzo()
  add_library(vexl_lzo STATIC ${VEXL_MINILZO_DIR}/minilzo.c)
  target_include_directories(vexl_lzo SYSTEM PUBLIC ${VEXL_MINILZO_SHIM} ${VEXL_MINILZO_DIR})
else()
  pkg_check_modules(LZO2 REQUIRED IMPORTED_TARGET lzo2)
  add_library(vexl_lzo INTERFACE)
  target_link_libraries(vexl_lzo INTERFACE PkgConfig::LZO2)
endif()
