# Debian ships GoogleTest built for the host only; a cross build compiles it from the sources of
# Debian's googletest package.
set(VELOPLOT_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest source folder")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VELOPLOT_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
