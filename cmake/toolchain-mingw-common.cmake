# Cross-compiles Windows binaries with mingw-w64; the including file sets
# QUILL_MINGW_TRIPLET and QUILL_MINGW_THREAD_MODEL.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER /usr/bin/${QUILL_MINGW_TRIPLET}-gcc-${QUILL_MINGW_THREAD_MODEL})
set(CMAKE_CXX_COMPILER /usr/bin/${QUILL_MINGW_TRIPLET}-g++-${QUILL_MINGW_THREAD_MODEL})
set(CMAKE_RC_COMPILER /usr/bin/${QUILL_MINGW_TRIPLET}-windres)
# The archiver wrappers that index link-time-optimisation objects.
set(CMAKE_AR /usr/bin/${QUILL_MINGW_TRIPLET}-gcc-ar-${QUILL_MINGW_THREAD_MODEL})
set(CMAKE_RANLIB /usr/bin/${QUILL_MINGW_TRIPLET}-gcc-ranlib-${QUILL_MINGW_THREAD_MODEL})

set(CMAKE_FIND_ROOT_PATH /usr/${QUILL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_RC_FLAGS_INIT "-c 65001")

# Every Windows binary of the build (tests, stand-ins, tools) runs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
