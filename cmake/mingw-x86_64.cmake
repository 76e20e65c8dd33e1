# 64-bit Windows: the same program for hosts whose wine runs 64-bit programs only (a kernel
# without 32-bit support cannot start the 32-bit wine loader).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELOPLOT_MINGW_TRIPLET x86_64-w64-mingw32)
set(VELOPLOT_WINE_NAMES wine64 /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
