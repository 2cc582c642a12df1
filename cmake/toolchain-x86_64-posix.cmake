# The test build: the same sources as 64-bit Windows binaries, which run under
# 64-bit Wine on machines whose kernel runs no 32-bit Linux programs (and so
# no 32-bit Wine). GoogleTest needs std::mutex, hence the posix thread model.
set(QUILL_MINGW_TRIPLET x86_64-w64-mingw32)
set(QUILL_MINGW_THREAD_MODEL posix)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
