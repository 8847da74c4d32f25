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
  # scdoc dates the page from SOURCE_DATE_EPOCH.
  add_custom_command(OUTPUT ${roff}.gz
    COMMAND sh -c "SOURCE_DATE_EPOCH=$(cat \"$4\") exec \"$1\" <\"$2\" >\"$3\""
            sh ${SCDOC} ${source} ${roff} ${VEXL_SOURCE_DATE_FILE}
    COMMAND ${GZIP} -9nf ${roff}
    DEPENDS ${source} ${VEXL_SOURCE_DATE_FILE}
    COMMENT "Making the man page ${page}"
    VERBATIM)
  list(APPEND man_pages ${roff}.gz)
  string(REGEX REPLACE ".*\\." "" section ${page})
  if(page STREQUAL vexl.1)
    set(component tools)
  else()
    set(component player)
  endif()
  install(FILES ${roff}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT ${component})
endforeach()
add_custom_target(vexl_man_pages ALL DEPENDS ${man_pages})
add_dependencies(vexl_man_pages vexl_source_date)
