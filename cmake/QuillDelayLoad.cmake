# DLLs that Windows does not always load from its own folder (wininet,
# version, cabinet, gdiplus, comctl32, wintrust, crypt32) are delay-loaded:
# the program's import table names only the DLLs every Windows from XP to 11
# takes from the system folder, so a DLL of another name planted beside the
# program is never loaded with it. platform/system_libraries.cpp loads the delayed ones from the system
# folder on their first call. shell32 would be safe in the import table, but
# nothing before the window needs it: delayed, it (and what it loads) stays
# out of the start.

# quill_delay_library(<dll base name>): an imported library quill_delay_<name>
# to link instead of <name>, made once at configure time from the toolchain's
# import library.
function(quill_delay_library name)
  set(output ${CMAKE_BINARY_DIR}/delay-load/lib${name}_delay.a)
  math(EXPR bits "${CMAKE_SIZEOF_VOID_P} * 8")
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/delay-load)
  execute_process(
      COMMAND ${CMAKE_SOURCE_DIR}/cmake/make-delay-library.sh ${bits} ${CMAKE_NM} ${CMAKE_DLLTOOL} ${CMAKE_OBJCOPY}
              ${CMAKE_FIND_ROOT_PATH}/lib/lib${name}.a ${name}.dll ${output}
      RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cannot make the delay-import library of ${name}.dll")
  endif()
  add_library(quill_delay_${name} STATIC IMPORTED GLOBAL)
  set_target_properties(quill_delay_${name} PROPERTIES IMPORTED_LOCATION ${output})
endfunction()

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/cmake/make-delay-library.sh)
foreach(name wininet version cabinet gdiplus comctl32 shell32 wintrust crypt32)
  quill_delay_library(${name})
endforeach()
