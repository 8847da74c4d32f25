# vexlade(6) and vexl(1), from scdoc sources, made by the build. vexl(1)
# has one section per command, each in man/vexl/NAME.scd: a new command
# adds its file there and nothing else.
find_program(SCDOC scdoc REQUIRED)
find_program(GZIP gzip REQUIRED)

file(GLOB command_pages CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/man/vexl/*.scd)
list(SORT command_pages)
set(VEXL_COMMAND_SECTIONS "")
foreach(page IN LISTS command_pages)
  file(READ ${page} section)
  string(APPEND VEXL_COMMAND_SECTIONS "${section}")
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${command_pages})

set(man_pages "")
foreach(page vexl.1 vexlade.6)
  set(source ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.scd)
  set(roff ${CMAKE_CURRENT_BINARY_DIR}/man/${page})
  configure_file(man/${page}.scd ${source} @ONLY)
  add_custom_command(OUTPUT ${roff}.gz
    COMMAND sh -c "exec \"$1\" <\"$2\" >\"$3\"" sh ${SCDOC} ${source} ${roff}
    COMMAND ${GZIP} -9nf ${roff}
    DEPENDS ${source}
    COMMENT "Making the man page ${page}"
    VERBATIM)
  list(APPEND man_pages ${roff}.gz)
  string(REGEX REPLACE ".*\\." "" section ${page})
  install(FILES ${roff}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
add_custom_target(vexl_man_pages ALL DEPENDS ${man_pages})
