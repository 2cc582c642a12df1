# Compile and link settings shared by every product library and executable.

# Product code may call only what Windows XP offers.
set(QUILL_DEFINITIONS
    _WIN32_WINNT=0x0501 WINVER=0x0501 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
set(QUILL_WARNINGS -Wall -Wextra -Werror)

# Release builds compile for link-time optimisation: the linker sees the
# whole program and drops what nothing calls before code is generated.
# Static libraries of such objects need gcc-ar and gcc-ranlib (the
# toolchain files name them).
set(QUILL_RELEASE_CODE_OPTIONS
    $<$<CONFIG:MinSizeRel,Release>:-ffunction-sections -fdata-sections -flto>
    $<$<AND:$<CONFIG:MinSizeRel,Release>,$<COMPILE_LANGUAGE:CXX>>:-fno-rtti>)

# Nothing in the program throws (CMakeLists.txt), so 32-bit code needs no
# unwind tables: Windows' x86 exception handling does not read them. About
# 18 KB. 64-bit Windows needs them in every function and keeps them.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  list(APPEND QUILL_RELEASE_CODE_OPTIONS
       $<$<CONFIG:MinSizeRel,Release>:-fno-asynchronous-unwind-tables>)
endif()

add_library(quill_options INTERFACE)
target_compile_definitions(quill_options INTERFACE ${QUILL_DEFINITIONS})
target_compile_options(quill_options INTERFACE ${QUILL_WARNINGS} ${QUILL_RELEASE_CODE_OPTIONS})
target_include_directories(quill_options INTERFACE ${CMAKE_SOURCE_DIR})

# Link options of every executable and DLL the project ships or carries: the
# PE header asks for Windows 5.1 (mingw's default says 4.0) and carries no
# link time, so the same sources give the same bytes; release builds drop
# unused sections and symbols and optimise across files. They add to the
# toolchain's -static rather than replace it. GCC 12 stops with an internal
# compiler error in jsoncpp's reader when it splits the program into several
# partitions, hence one.
set(QUILL_PE_LINK_OPTIONS
    -Wl,--major-subsystem-version,5,--minor-subsystem-version,1
    -Wl,--major-os-version,5,--minor-os-version,1 -Wl,--no-insert-timestamp
    $<$<CONFIG:MinSizeRel,Release>:-flto -flto-partition=one -Wl,--gc-sections -s>
    # Link-time code generation takes it from the link's own options.
    $<$<AND:$<CONFIG:MinSizeRel,Release>,$<EQUAL:${CMAKE_SIZEOF_VOID_P},4>>:-fno-asynchronous-unwind-tables>)

# quill_windows_executable(<target> GUI|CONSOLE)
function(quill_windows_executable target kind)
  target_link_options(${target} PRIVATE ${QUILL_PE_LINK_OPTIONS})
  if(kind STREQUAL "GUI")
    target_link_options(${target} PRIVATE -mwindows -municode)
  else()
    target_link_options(${target} PRIVATE -mconsole -municode)
  endif()
  target_link_libraries(${target} PRIVATE quill_options)
endfunction()

# quill_version_resource(<target> <product name> <a.b.c.d>): a version
# resource in the target's program saying it is that product and version,
# as the start gate reads it (the demo's setup, the tests' stand-ins).
function(quill_version_resource target product version)
  string(REPLACE "." "," numbers "${version}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version-resource.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
