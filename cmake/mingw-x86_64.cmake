# 64-bit Windows build with Debian's posix-threads MinGW-w64 compilers. Its
# Windows tests run under wine64 in the tree's own prefix.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
