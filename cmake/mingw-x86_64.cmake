# 64-bit Windows: the same program built for comparison with the shipped 32-bit one.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELOPLOT_MINGW_TRIPLET x86_64-w64-mingw32)
set(VELOPLOT_WINE_NAMES wine64 /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
