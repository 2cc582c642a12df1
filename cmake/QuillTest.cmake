# GoogleTest from Debian's sources, built with this build's compiler, and the
# helpers that define test executables and stand-in programs.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Test programs whose cases share the registry, the wineserver's named objects
# or its processes hold CTest locks on them. Each Wine prefix has its own of
# all three, so a program given a prefix of its own (PREFIX <name>:
# build/wine-<name>, with the test CA trusted in it by a fixture of its own)
# runs beside the others under ctest -j; its registry, processes and
# whole_program locks are that prefix's, and its cases always require that
# prefix's test_ca fixture. Other locks (squid, shared by the proxy and
# acceptance cases) stay the run's.
# scripts/test.sh makes the prefixes listed in <build>/wine-prefixes and keeps
# a wineserver up in each. quill_test_prefix(<name> <folder variable>) sets
# the variable to the prefix's folder.
file(WRITE ${CMAKE_BINARY_DIR}/wine-prefixes "")
function(quill_test_prefix name folder_variable)
  get_filename_component(folder ${CMAKE_BINARY_DIR}/../wine-${name} ABSOLUTE)
  set(${folder_variable} ${folder} PARENT_SCOPE)
  get_property(known GLOBAL PROPERTY QUILL_TEST_PREFIXES)
  if(name IN_LIST known)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY QUILL_TEST_PREFIXES ${name})
  file(APPEND ${CMAKE_BINARY_DIR}/wine-prefixes "${folder}\n")
  add_test(NAME TestCertificates.TrustedInPrefix.${name}
           COMMAND ${CMAKE_SOURCE_DIR}/tests/support/issue-test-certificates.sh
                   ${QUILL_TEST_PKI_DIR} $<TARGET_FILE:trust_test_ca>)
  set_tests_properties(TestCertificates.TrustedInPrefix.${name} PROPERTIES
      FIXTURES_SETUP test_ca@${name} RESOURCE_LOCK registry@${name}
      ENVIRONMENT QUILL_WINEPREFIX=${folder})
endfunction()

# quill_add_test(<name> SOURCES ... LIBS ... [LABEL unit|program] [LOCKS ...]
# [FIXTURES ...] [PREFIX <name>] [PROPERTIES ...]): a GoogleTest executable
# run under Wine through CTest, labelled unit (the default: make check runs these) or
# program (whole runs of the workflow or the program). A unit program's cases
# take milliseconds each, so they run in one process, one CTest test named
# after the program (its output names each case that failed; run one case
# with scripts/wine-run <program> --gtest_filter=<case>): one Wine start
# instead of one per case. A program's cases take seconds to minutes each
# and are CTest tests of their own, so that -j2 spreads them and a timeout
# names the case. LOCKS are the shared things its cases use (CTest's
# RESOURCE_LOCK), FIXTURES the fixtures they need. Those two are lists, which
# gtest_discover_tests would flatten into separate properties, so a file of
# our own sets them after discovery on the cases it listed.
function(quill_add_test name)
  cmake_parse_arguments(ARG "" "LABEL;PREFIX" "SOURCES;LIBS;LOCKS;FIXTURES;PROPERTIES" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  if(ARG_PREFIX)
    quill_test_prefix(${ARG_PREFIX} folder)
    list(TRANSFORM ARG_LOCKS REPLACE "^(registry|processes|whole_program)$" "\\1@${ARG_PREFIX}")
    # A prefix made afresh trusts the test CA only once its fixture has run.
    list(APPEND ARG_FIXTURES test_ca@${ARG_PREFIX})
    list(APPEND ARG_PROPERTIES ENVIRONMENT QUILL_WINEPREFIX=${folder})
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quill_test_support quill_test_main GTest::gtest)
  target_link_options(${name} PRIVATE -mconsole)
  if(ARG_LABEL STREQUAL "unit")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS unit ${ARG_PROPERTIES})
    if(ARG_LOCKS)
      set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_LOCKS}")
    endif()
    if(ARG_FIXTURES)
      set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${ARG_FIXTURES}")
    endif()
    return()
  endif()
  gtest_discover_tests(${name}
      DISCOVERY_MODE PRE_TEST
      DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 300 LABELS ${ARG_LABEL} ${ARG_PROPERTIES})
  set(shared "")
  if(ARG_LOCKS)
    string(APPEND shared " RESOURCE_LOCK \"${ARG_LOCKS}\"")
  endif()
  if(ARG_FIXTURES)
    string(APPEND shared " FIXTURES_REQUIRED \"${ARG_FIXTURES}\"")
  endif()
  if(shared)
    set(after ${CMAKE_CURRENT_BINARY_DIR}/${name}_shared.cmake)
    file(WRITE ${after}
         "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES${shared})\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${after})
  endif()
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

# The tests' certificates and keys (tests/support/issue-test-certificates.sh,
# made by scripts/build.sh); the build pins publisher.pem's key.
set(QUILL_TEST_PKI_DIR "${CMAKE_BINARY_DIR}/../test-pki" CACHE PATH
    "The tests' CA, publishers and TLS certificates")

# quill_sign_program(<target> <publisher> [<output name>]): after each link,
# signs the target's program as the test PKI's publisher (publisher,
# other-publisher or stray-publisher) would, in place or into a copy named
# <output name> beside it. Commands run in the order they were added.
function(quill_sign_program target publisher)
  set(output $<TARGET_FILE:${target}>)
  if(ARGC GREATER 2)
    set(output $<TARGET_FILE_DIR:${target}>/${ARGV2})
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_SOURCE_DIR}/cmake/sign-program.sh $<TARGET_FILE:${target}> ${output}
              ${QUILL_TEST_PKI_DIR}/${publisher}-chain.pem ${QUILL_TEST_PKI_DIR}/${publisher}.key
      VERBATIM)
endfunction()
