# The player, the tool, and what a user reads first.
install(TARGETS vexlade vexl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Completion of vexl's commands and options in bash.
install(FILES completion/vexl.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME vexl)
