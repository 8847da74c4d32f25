# Run at install time (see desktop.cmake), with gamesdir, datadir, template
# and entry_folder set: writes the desktop entry for CMAKE_INSTALL_PREFIX and
# installs it.
foreach(dir gamesdir datadir)
  if(NOT IS_ABSOLUTE "${${dir}}")
    set(${dir} "${CMAKE_INSTALL_PREFIX}/${${dir}}")
  endif()
endforeach()
set(VEXL_PLAYER "${gamesdir}/vexlade")
set(VEXL_DEMO_FOLDER "${datadir}/vexlade/demo")
# A folder of this install's own: cpack and cmake --install may run at once.
string(RANDOM LENGTH 12 tag)
set(folder "${entry_folder}/desktop-entry-${tag}")
configure_file("${template}" "${folder}/vexlade.desktop" @ONLY)
file(INSTALL DESTINATION "${datadir}/applications" TYPE FILE FILES "${folder}/vexlade.desktop")
file(REMOVE_RECURSE "${folder}")
