# What every Debian package carries in share/doc/PACKAGE: the copyright file
# (machine-readable, DEP-5) and the changelog, compressed as Debian expects.
find_program(GZIP gzip REQUIRED)
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND sh -c "exec \"$1\" -9nc \"$2\" >\"$3\"" sh ${GZIP} ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog
          ${changelog_gz}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog
  VERBATIM)
add_custom_target(vexl_changelog ALL DEPENDS ${changelog_gz})
foreach(component player tools)
  set(docdir ${CMAKE_INSTALL_DATADIR}/doc/${VEXL_PACKAGE_${component}})
  install(FILES debian/copyright ${changelog_gz} DESTINATION ${docdir} COMPONENT ${component})
endforeach()
