# jsoncpp, compiled from Debian's source package with this build's compiler.
# Its own CMake project would force its output folders on every target, so
# the three library sources are compiled here directly.
if(NOT EXISTS "${QUILL_JSONCPP_DIR}/include/json/json.h")
  message(FATAL_ERROR "jsoncpp source not found in ${QUILL_JSONCPP_DIR}; "
                      "run scripts/build.sh, which fetches it")
endif()

# The program links a copy with our patch applied (what it removes and why:
# the patch's own header). The fetched tree stays as Debian ships it, for the
# tests that compare the two.
set(QUILL_JSONCPP_PATCH ${CMAKE_SOURCE_DIR}/cmake/patches/jsoncpp-without-streams.patch)
set(QUILL_JSONCPP_PATCHED_DIR ${CMAKE_BINARY_DIR}/deps/jsoncpp-patched)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QUILL_JSONCPP_PATCH})
file(SHA256 ${QUILL_JSONCPP_PATCH} patch_hash)
set(patch_stamp ${QUILL_JSONCPP_PATCHED_DIR}/patch.sha256)
if(EXISTS ${patch_stamp})
  file(READ ${patch_stamp} applied_hash)
endif()
if(NOT applied_hash STREQUAL patch_hash)
  file(REMOVE_RECURSE ${QUILL_JSONCPP_PATCHED_DIR})
  file(COPY ${QUILL_JSONCPP_DIR}/include ${QUILL_JSONCPP_DIR}/src
       DESTINATION ${QUILL_JSONCPP_PATCHED_DIR})
  execute_process(
      COMMAND patch -p1 --batch --forward --input ${QUILL_JSONCPP_PATCH}
      WORKING_DIRECTORY ${QUILL_JSONCPP_PATCHED_DIR}
      RESULT_VARIABLE patch_result
      OUTPUT_VARIABLE patch_output ERROR_VARIABLE patch_output)
  if(NOT patch_result EQUAL 0)
    message(FATAL_ERROR "cmake/patches/jsoncpp-without-streams.patch does not apply to the "
                        "jsoncpp source in ${QUILL_JSONCPP_DIR} (another release?): "
                        "mend the patch for it.\n${patch_output}")
  endif()
  file(WRITE ${patch_stamp} ${patch_hash})
endif()

# quill_jsoncpp_library(<target> <source tree>)
function(quill_jsoncpp_library target tree)
  add_library(${target} STATIC
      ${tree}/src/lib_json/json_reader.cpp
      ${tree}/src/lib_json/json_value.cpp
      ${tree}/src/lib_json/json_writer.cpp)
  target_include_directories(${target} SYSTEM PUBLIC ${tree}/include)
  target_include_directories(${target} PRIVATE ${tree}/src/lib_json)
  # Third-party code: its warnings are not ours to fix.
  target_compile_options(${target} PRIVATE -w ${QUILL_RELEASE_CODE_OPTIONS})
endfunction()

quill_jsoncpp_library(jsoncpp_static ${QUILL_JSONCPP_PATCHED_DIR})
# Built without exceptions (with the program, CMakeLists.txt): it would throw
# only for a document nested deeper than its limit, which the package query
# refuses before it asks (net/package_info.cpp), or for a misuse of a Value,
# which the query avoids by checking each member's type first.
target_compile_definitions(jsoncpp_static PUBLIC JSON_USE_STREAMS=0 JSON_USE_EXCEPTION=0)
# Its few function-local statics (the null Value) need no guard: only the
# worker thread reads replies, one at a time. The guard would link the C++
# library's exception runtime back in (platform/process_instance.h says why).
target_compile_options(jsoncpp_static PRIVATE -fno-threadsafe-statics)
# It formats only the positions in its error texts and, in its writer and
# asString, numbers, which the program never turns into text: msvcrt's
# _snprintf does that as well as MinGW's C99 snprintf, which is 22 KB.
# (msvcrt's returns -1 instead of the length when the buffer is too short;
# none of those buffers can be.)
target_compile_definitions(jsoncpp_static PRIVATE jsoncpp_snprintf=_snprintf)
