# The packages, made with CPack: on Linux a Debian package of both programs (`cpack -G DEB` in a
# Release build), for Windows a zip of Veloplot.exe and a text on how to start it
# (`cpack --preset windows`).
set(CPACK_PACKAGE_NAME Veloplot)
set(CPACK_PACKAGE_VENDOR Veloplot)
set(CPACK_PACKAGE_VERSION ${VELOPLOT_VERSION_TEXT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "plot and explore numeric data of many dimensions")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Veloplot-${VELOPLOT_VERSION_TEXT}-win32)
  # Notepad before Windows 10 shows a text with bare line feeds as one line.
  configure_file(${PROJECT_SOURCE_DIR}/res/README-windows.txt.in ${CMAKE_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
else()
  include(GNUInstallDirs)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_NAME veloplot)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # A tilde sorts a pre-release before its release: 0.2~a1 comes before 0.2.
  string(REGEX REPLACE "([0-9])([a-z])" "\\1~\\2" CPACK_DEBIAN_PACKAGE_VERSION
         ${VELOPLOT_VERSION_TEXT})
  # The libraries the programs link, found by dpkg-shlibdeps in the built files.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Veloplot developers <veloplot@users.noreply.github.com>")
  # CPack puts the summary in front, as the Description's first line.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Veloplot opens a CSV file of numbers, lists its columns and draws two of
them as a scatter plot of single pixels. Single keys choose the axes,
narrow the plotted rows by constraints on other columns and zoom and shift
each column; a double-click recentres the plot.
.
veloplot is the window; veloplot-render draws the same pictures without
one, for scripts.")

  # A package's own documentation folder holds its copyright and, for a native package, its
  # changelog, compressed.
  set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/veloplot)
  set(changelog ${CMAKE_BINARY_DIR}/changelog)
  configure_file(${PROJECT_SOURCE_DIR}/res/changelog.in ${changelog} @ONLY)
  add_custom_command(OUTPUT ${changelog}.gz
    COMMAND gzip -9nkf ${changelog}
    DEPENDS ${changelog}
    VERBATIM)
  add_custom_target(package_changelog ALL DEPENDS ${changelog}.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/res/copyright ${changelog}.gz DESTINATION ${doc_dir})
endif()

include(CPack)
