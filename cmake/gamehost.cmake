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

# gamehost_test(<name> SOURCES ... LIBS ... [QUARANTINE_OFF <gtest filter>])
# One GoogleTest binary per source folder, registered with CTest.
# QUARANTINE_OFF names the cases that measure the process's memory: under the
# sanitizers they run with AddressSanitizer's quarantine off, which would
# otherwise keep every freed block resident and count it as growth.
function(gamehost_test name)
  cmake_parse_arguments(ARG "" "QUARANTINE_OFF" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  # Test code compiles in half the time unoptimised; what it tests is built
  # with the project's flags.
  target_compile_options(${name} PRIVATE -O0 -g0)
  target_precompile_headers(${name} REUSE_FROM gamehost_test_headers)
  gamehost_link_whole(${name} ${ARG_LIBS})
  target_link_libraries(${name} PRIVATE GTest::gtest_main GTest::gmock Threads::Threads)
  gamehost_use_allocator(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(GAMEHOST_SANITIZE AND ARG_QUARANTINE_OFF)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST TEST_FILTER "-${ARG_QUARANTINE_OFF}"
      PROPERTIES TIMEOUT 120)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST TEST_FILTER "${ARG_QUARANTINE_OFF}"
      PROPERTIES TIMEOUT 120 ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=path_list_append:quarantine_size_mb=0")
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 120)
  endif()
endfunction()

# Every program links the allocator the whole process uses, with its
# settings (platform/runtime/AllocatorSettings.cpp): linked into the
# program, it serves every library's blocks too, the image libraries'
# among them. Sanitizer builds keep the sanitizer's own.
function(gamehost_use_allocator target)
  if(NOT GAMEHOST_SANITIZE)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:gamehost_allocator_settings>)
    target_link_libraries(${target} PRIVATE PkgConfig::JEMALLOC)
  endif()
endfunction()
