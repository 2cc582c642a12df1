# The i386 guest's helper programs: 32-bit with the posix thread model, which
# the package service's HTTP library needs (std::thread). The shipped program
# never uses this one.
set(QUILL_MINGW_TRIPLET i686-w64-mingw32)
set(QUILL_MINGW_THREAD_MODEL posix)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
