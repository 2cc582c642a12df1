# GoogleTest from Debian's sources, built with this build's compiler, and the
# helpers that define test executables and stand-in programs.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# quill_add_test(<name> SOURCES ... LIBS ... [PROPERTIES ...]): a GoogleTest
# executable whose cases run one by one under Wine through CTest.
function(quill_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quill_test_support quill_test_main GTest::gtest)
  target_link_options(${name} PRIVATE -mconsole)
  gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 300 ${ARG_PROPERTIES})
endfunction()

# quill_add_helper_program(<name> SOURCES ... [GUI]): a small Windows program a
# test starts (stand-ins for outside programs).
function(quill_add_helper_program name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  if(ARG_GUI)
    quill_windows_executable(${name} GUI)
  else()
    quill_windows_executable(${name} CONSOLE)
  endif()
endfunction()
