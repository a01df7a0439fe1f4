# gamehost_library(<name> SOURCES ... DEPS ...)
# One library per source folder. Headers sit beside the sources and are
# included as "platform/<layer>/<File>.h" from the project root. Libraries are
# shared so that every class registrar runs at load time, even for classes no
# code names by type (they are looked up by name).
function(gamehost_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# Links the given libraries even when no symbol of theirs is referenced, so
# their registrars run.
function(gamehost_link_whole target)
  target_link_options(${target} PRIVATE "LINKER:--no-as-needed")
  target_link_libraries(${target} PRIVATE ${ARGN})
endfunction()

# gamehost_test(<name> SOURCES ... LIBS ...)
# One GoogleTest binary per source folder, registered with CTest.
function(gamehost_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  # Test code compiles in half the time unoptimised; what it tests is built
  # with the project's flags.
  target_compile_options(${name} PRIVATE -O0 -g0)
  gamehost_link_whole(${name} ${ARG_LIBS})
  target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120)
endfunction()
