# The library's floors: one static library each, linking only the floors below it. A floor's
# sources may include only its own headers and those of the floors below; a build step checks
# this each build, so a folder that reaches up (or sideways) no longer builds. Headers under a
# floor's detail/ folder are its own: no other floor may include them. A floor is named by its
# folder; app/window, the window's logic, is the one floor under app/.
set(DURVANE_FLOORS core opt prj merge info render export usecases app/window)

# durvane_floor(NAME SOURCES file... [BELOW floor...] [FOLDER folder]): the library
# durvane_NAME from the sources of FOLDER (NAME when not given).
function(durvane_floor name)
  cmake_parse_arguments(FLOOR "" "FOLDER" "SOURCES;BELOW" ${ARGN})
  if(NOT FLOOR_FOLDER)
    set(FLOOR_FOLDER ${name})
  endif()
  add_library(durvane_${name} STATIC ${FLOOR_SOURCES})
  target_include_directories(durvane_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(durvane_${name} PUBLIC ${FLOOR_BELOW})
  list(TRANSFORM FLOOR_BELOW REPLACE "^durvane_" "")
  string(REPLACE ";" "," allowed "${FLOOR_FOLDER};${FLOOR_BELOW}")
  string(REGEX REPLACE ",$" "" allowed "${allowed}")
  string(REPLACE ";" "," floors "${DURVANE_FLOORS}")
  add_custom_target(durvane_${name}_includes
    COMMAND ${CMAKE_COMMAND} -DFLOOR=${FLOOR_FOLDER} -DALLOWED=${allowed} -DFLOORS=${floors}
            -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/CheckFloorIncludes.cmake
    VERBATIM)
  add_dependencies(durvane_${name} durvane_${name}_includes)
  set_property(GLOBAL APPEND PROPERTY DURVANE_FLOOR_TARGETS durvane_${name})
endfunction()
