# Cross-compiling for 32-bit Windows with mingw-w64 (posix threads), run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KVL_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${KVL_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KVL_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${KVL_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KVL_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest starts the Windows programs through Wine with a pinned prefix and locale.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
