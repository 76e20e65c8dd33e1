# The manual pages veloplot(1) and veloplot-render(1), made at build time from README.md and the
# window's help text, so that each text has one source.
find_package(Python3 COMPONENTS Interpreter)
if(NOT Python3_Interpreter_FOUND)
  message(STATUS "Python 3 not found: the manual pages are not made")
  return()
endif()

include(GNUInstallDirs)
set(VELOPLOT_MAN_DIR ${CMAKE_BINARY_DIR}/man)
set(man_pages ${VELOPLOT_MAN_DIR}/veloplot.1.gz ${VELOPLOT_MAN_DIR}/veloplot-render.1.gz)
add_custom_command(OUTPUT ${man_pages}
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/make_man_pages.py
          --readme ${PROJECT_SOURCE_DIR}/README.md
          --help-text ${PROJECT_SOURCE_DIR}/app/help_text.h
          --version ${VELOPLOT_VERSION_TEXT} ${VELOPLOT_MAN_DIR}
  DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make_man_pages.py ${PROJECT_SOURCE_DIR}/README.md
          ${PROJECT_SOURCE_DIR}/app/help_text.h
  COMMENT "Making the manual pages"
  VERBATIM)
add_custom_target(man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
