# jsoncpp, compiled from Debian's source package with this build's compiler.
# Its own CMake project would force its output folders on every target, so
# the three library sources are compiled here directly.
if(NOT EXISTS "${QUILL_JSONCPP_DIR}/include/json/json.h")
  message(FATAL_ERROR "jsoncpp source not found in ${QUILL_JSONCPP_DIR}; "
                      "run scripts/build.sh, which fetches it")
endif()

add_library(jsoncpp_static STATIC
    ${QUILL_JSONCPP_DIR}/src/lib_json/json_reader.cpp
    ${QUILL_JSONCPP_DIR}/src/lib_json/json_value.cpp
    ${QUILL_JSONCPP_DIR}/src/lib_json/json_writer.cpp)
target_include_directories(jsoncpp_static SYSTEM PUBLIC ${QUILL_JSONCPP_DIR}/include)
target_include_directories(jsoncpp_static PRIVATE ${QUILL_JSONCPP_DIR}/src/lib_json)
# Third-party code: its warnings are not ours to fix.
target_compile_options(jsoncpp_static PRIVATE -w
    $<$<CONFIG:MinSizeRel,Release>:-ffunction-sections -fdata-sections>)
