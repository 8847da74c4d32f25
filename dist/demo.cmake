# The default demo, made by the build (never stored in the repository) and
# again whenever vexl has been rebuilt; `vexl play` finds it here in the
# build tree and in share/vexlade/demo once installed.
set(VEXL_DEMO_FILES ${VEXL_DEMO_BUILD_DIR}/ld_vexl.d1 ${VEXL_DEMO_BUILD_DIR}/ld_vexl.d2)
add_custom_command(OUTPUT ${VEXL_DEMO_FILES}
  COMMAND vexl mkdemo ${VEXL_DEMO_BUILD_DIR}
  DEPENDS vexl
  COMMENT "Making the default demo in ${VEXL_DEMO_BUILD_DIR}")
add_custom_target(vexl_default_demo ALL DEPENDS ${VEXL_DEMO_FILES})

# What is installed is the same demo made compact (mkdemo --compact: a third
# smaller, frame for frame and sample for sample the same). That takes a
# minute or two, so it is done again only when the demo's content changed,
# not whenever vexl was rebuilt: the stamp keeps its time while the demo's
# checksums stay the same, and the command names vexl as a program to run,
# not as a file it depends on.
set(demo_content ${CMAKE_CURRENT_BINARY_DIR}/demo-content.sha256)
add_custom_command(OUTPUT ${demo_content}
  COMMAND sh -c "\"$1\" -E sha256sum \"$2\" \"$3\" >\"$4.new\" && \"$1\" -E copy_if_different \"$4.new\" \"$4\""
          sh ${CMAKE_COMMAND} ${VEXL_DEMO_FILES} ${demo_content}
  DEPENDS ${VEXL_DEMO_FILES}
  VERBATIM)
set(installed_demo_dir ${CMAKE_CURRENT_BINARY_DIR}/demo)
set(installed_demo_files ${installed_demo_dir}/ld_vexl.d1 ${installed_demo_dir}/ld_vexl.d2)
add_custom_command(OUTPUT ${installed_demo_files}
  COMMAND vexl mkdemo --compact ${installed_demo_dir}
  DEPENDS ${demo_content}
  COMMENT "Making the default demo compact for installing (a minute or two)")
add_custom_target(vexl_installed_demo ALL DEPENDS ${installed_demo_files})
add_dependencies(vexl_installed_demo vexl_default_demo)
install(FILES ${installed_demo_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/vexlade/demo COMPONENT player)

# The application icon: the "80" of the title screen, cut from a frame of
# the default demo by vexl render, in the hicolor theme's usual sizes.
set(icon_frame 550)
set(icon_cells 9,3,26,26)
set(icon_files "")
foreach(size 64 128 256)
  set(icon ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}/vexlade.png)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}x${size}
    COMMAND vexl render ${VEXL_DEMO_BUILD_DIR}/ld_vexl.d1 ${icon}
            --frame ${icon_frame} --crop ${icon_cells} --size ${size}x${size}
    DEPENDS vexl ${VEXL_DEMO_BUILD_DIR}/ld_vexl.d1)
  list(APPEND icon_files ${icon})
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT player)
endforeach()
add_custom_target(vexlade_icons ALL DEPENDS ${icon_files})
