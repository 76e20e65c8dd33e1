# 32-bit Windows (PE32), the shipped build.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELOPLOT_MINGW_TRIPLET i686-w64-mingw32)
set(VELOPLOT_WINE_NAMES wine)
# SSE2 doubles, not x87 extended precision: every pixel position must come out as on the 64-bit
# builds.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
