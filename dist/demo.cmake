# The default demo, made by the build (never stored in the repository) and
# again whenever vexl has been rebuilt; `vexl play` finds it here in the
# build tree and in share/vexlade/demo once installed.
set(VEXL_DEMO_FILES ${VEXL_DEMO_BUILD_DIR}/ld_vexl.d1 ${VEXL_DEMO_BUILD_DIR}/ld_vexl.d2)
add_custom_command(OUTPUT ${VEXL_DEMO_FILES}
  COMMAND vexl mkdemo ${VEXL_DEMO_BUILD_DIR}
  DEPENDS vexl
  COMMENT "Making the default demo in ${VEXL_DEMO_BUILD_DIR}")
add_custom_target(vexl_default_demo ALL DEPENDS ${VEXL_DEMO_FILES})
install(FILES ${VEXL_DEMO_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/vexlade/demo)

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
  install(FILES ${icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(vexlade_icons ALL DEPENDS ${icon_files})
