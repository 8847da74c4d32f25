# The player, the tool, and what a user reads first.
install(TARGETS vexlade RUNTIME DESTINATION ${VEXL_INSTALL_GAMESDIR} COMPONENT player)
install(TARGETS vexl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT player)

# Completion of vexl's commands and options in bash.
install(FILES completion/vexl.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME vexl COMPONENT tools)
