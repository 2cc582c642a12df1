# The shipped program: 32-bit, win32 thread model. The posix model would link
# libwinpthread, whose GetTickCount64 import keeps a program from loading on
# Windows XP.
set(QUILL_MINGW_TRIPLET i686-w64-mingw32)
set(QUILL_MINGW_THREAD_MODEL win32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
