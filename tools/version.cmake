# The project version, from project() only: `vexl --version` and the man
# pages read it from here.
configure_file(${PROJECT_SOURCE_DIR}/cmake/vexl_version.h.in
  ${CMAKE_CURRENT_BINARY_DIR}/generated/vexl_version.h @ONLY)
target_include_directories(vexl PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
