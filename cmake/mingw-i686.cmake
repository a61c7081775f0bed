# 32-bit Windows build: the shipped binaries. Its Windows tests run under
# 32-bit Wine (WOW64) in the tree's own prefix, where the machine executes
# 32-bit code.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_TRIPLET i686-w64-mingw32)
set(CORVISK_WINE_RUN_OPTIONS --x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
