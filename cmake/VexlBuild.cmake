# Shared compile settings and helpers for every target of the project.

add_library(vexl_warnings INTERFACE)
target_compile_options(vexl_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast
  -Wcast-align -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)

if(VEXL_SANITIZE)
  add_compile_options(-fsanitize=${VEXL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${VEXL_SANITIZE})
elseif(NOT WIN32)
  # Hardened as Debian builds its packages: checked libc calls where the
  # sizes are known, relocations read-only and bound at start (ELF only).
  add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  add_link_options(LINKER:-z,relro,-z,now)
endif()

# No build paths in what is built (debug information, build ids): a
# package comes out byte for byte the same from a checkout in any folder.
add_compile_options(-ffile-prefix-map=${PROJECT_BINARY_DIR}=build -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)

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
  # Tests start helpers (tmux, Xvfb, xdotool) with std::system and check what
  # they did rather than the status, which the hardened C library flags.
  target_compile_options(${name} PRIVATE -Wno-unused-result)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${ARG_PROPERTIES})
endfunction()

# vexl_bench(name SOURCES ... [LIBS ...]): a Google Benchmark executable.
function(vexl_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark vexl_warnings)
endfunction()
