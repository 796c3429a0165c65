# durvane_man_page(TARGET SUMMARY INCLUDE COMPONENT) writes the manual page TARGET(1) from the
# program's --help and --version with help2man, adds the sections of the help2man include file
# INCLUDE, and installs the page, compressed, with COMPONENT. Without help2man no page is made.
include(GNUInstallDirs)
find_program(DURVANE_HELP2MAN help2man)
find_program(DURVANE_GZIP gzip)

function(durvane_man_page target summary include component)
  if(CMAKE_CROSSCOMPILING)
    return()
  endif()
  if(NOT DURVANE_HELP2MAN OR NOT DURVANE_GZIP)
    message(STATUS "help2man not found: no manual page ${target}(1) (install help2man)")
    return()
  endif()
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${DURVANE_HELP2MAN} --no-info --section=1 --name=${summary}
      --include=${CMAKE_CURRENT_SOURCE_DIR}/${include} --output=${page} $<TARGET_FILE:${target}>
    COMMAND ${DURVANE_GZIP} -9nf ${page}
    DEPENDS ${target} ${CMAKE_CURRENT_SOURCE_DIR}/${include}
    COMMENT "Writing the manual page ${target}(1)"
    VERBATIM)
  add_custom_target(${target}_man_page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
endfunction()
