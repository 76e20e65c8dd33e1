# The Linux window `veloplot`, with GTK 3, and its desktop entry, icons and AppStream metadata.
# Without GTK the rest of the project still builds.
pkg_check_modules(GTK3 IMPORTED_TARGET gtk+-3.0)
find_package(Python3 COMPONENTS Interpreter)
if(NOT GTK3_FOUND OR NOT Python3_Interpreter_FOUND)
  message(STATUS "GTK 3 or Python 3 not found: the veloplot window is not built")
  return()
endif()

include(GNUInstallDirs)
set(VELOPLOT_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
# The window carries the sizes a window manager asks for; the icon theme gets the sizes that
# menus, docks and software centres use.
set(VELOPLOT_ICON_SIZES 16 32 48)
set(VELOPLOT_THEME_ICON_SIZES 16 24 32 48 64 128 256)
set(icon_sizes ${VELOPLOT_ICON_SIZES} ${VELOPLOT_THEME_ICON_SIZES})
list(REMOVE_DUPLICATES icon_sizes)
set(icon_files "")
foreach(size IN LISTS icon_sizes)
  set(icon ${VELOPLOT_ICON_DIR}/veloplot-${size}.png)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VELOPLOT_ICON_DIR}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/make_icons.py png ${icon} ${size}
    DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make_icons.py
    VERBATIM)
  list(APPEND icon_files ${icon})
endforeach()
add_custom_target(theme_icons ALL DEPENDS ${icon_files})
add_custom_command(OUTPUT ${VELOPLOT_ICON_DIR}/program_icons.cpp
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${VELOPLOT_ICON_DIR}/program_icons.cpp
          -DICON_DIR=${VELOPLOT_ICON_DIR} "-DSIZES=${VELOPLOT_ICON_SIZES}"
          -P ${PROJECT_SOURCE_DIR}/cmake/embed_icons.cmake
  DEPENDS ${icon_files} ${PROJECT_SOURCE_DIR}/cmake/embed_icons.cmake
  VERBATIM)

add_executable(veloplot app/gtk_main.cpp app/gtk_about.cpp ${VELOPLOT_ICON_DIR}/program_icons.cpp)
target_link_libraries(veloplot PRIVATE veloplot_render_tool veloplot_cairo PkgConfig::GTK3)

install(TARGETS veloplot RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/res/veloplot.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN LISTS VELOPLOT_THEME_ICON_SIZES)
  install(FILES ${VELOPLOT_ICON_DIR}/veloplot-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME veloplot.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/res/io.github.veloplot.Veloplot.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
