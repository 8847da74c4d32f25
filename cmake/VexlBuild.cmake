# Shared compile settings and helpers for every target of the project.

add_library(vexl_warnings INTERFACE)
target_compile_options(vexl_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast
  -Wcast-align -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)

if(VEXL_SANITIZE)
  add_compile_options(-fsanitize=${VEXL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${VEXL_SANITIZE})
endif()

# vexl_library(name SOURCES ... [LIBS ...]): a static core library whose
# headers are included as "folder/file.h" from the repository root.
function(vexl_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE vexl_warnings)
endfunction()

# vexl_test(name SOURCES ... [LIBS ...]): a GoogleTest executable whose
# tests CTest discovers one by one.
function(vexl_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main vexl_warnings)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${ARG_PROPERTIES})
endfunction()

# vexl_bench(name SOURCES ... [LIBS ...]): a Google Benchmark executable.
function(vexl_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark vexl_warnings)
endfunction()
