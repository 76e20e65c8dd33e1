# Cross-compiling for Windows with mingw-w64; included by the per-architecture toolchain files,
# which set VELOPLOT_MINGW_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest needs std::mutex, which the win32 model's library lacks.
# Linked statically like the rest, it adds no DLL.
set(CMAKE_C_COMPILER ${VELOPLOT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELOPLOT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELOPLOT_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VELOPLOT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The number parser is header-only and target-neutral; only its own folder is copied onto the
# include path, so the host's copy serves the cross build as well.
if(EXISTS /usr/include/fast_float/fast_float.h)
  set(FAST_FLOAT_INCLUDE_DIR /usr/include CACHE PATH "Folder holding fast_float/")
endif()

# No runtime DLL of the compiler may be needed next to the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The tests run under wine (wine64 for the 64-bit build).
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(VELOPLOT_WINE NAMES ${VELOPLOT_WINE_NAMES})
  if(VELOPLOT_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VELOPLOT_WINE})
  endif()
endif()
