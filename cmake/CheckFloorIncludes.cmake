cmake_minimum_required(VERSION 3.25)
# Fails when a source of floor FLOOR includes a header of a floor it may not use: one not in
# ALLOWED, or another floor's detail/ header. Run as cmake -P with FLOOR, ALLOWED and FLOORS
# (comma-separated) and SOURCE_DIR.
string(REPLACE "," ";" allowed "${ALLOWED}")
string(REPLACE "," ";" floors "${FLOORS}")
file(GLOB sources ${SOURCE_DIR}/${FLOOR}/*.h ${SOURCE_DIR}/${FLOOR}/*.cpp
     ${SOURCE_DIR}/${FLOOR}/detail/*.h ${SOURCE_DIR}/${FLOOR}/detail/*.cpp)
set(faults "")
foreach(source ${sources})
  file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z_]+/")
  foreach(line ${includes})
    string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
    string(REGEX REPLACE "/.*$" "" floor "${header}")
    # Under app/ a folder is a floor (app/window) or a program (app/cli, app/gui), which no
    # floor may include.
    if(floor STREQUAL "app")
      string(REGEX REPLACE "^(app/[^/]+)/.*$" "\\1" floor "${header}")
    endif()
    if((floor MATCHES "^app" AND NOT floor IN_LIST floors)
       OR (floor IN_LIST floors AND NOT floor IN_LIST allowed))
      string(APPEND faults "\n  ${source}: includes ${header}, of a floor ${FLOOR}/ may not use")
    elseif(NOT floor STREQUAL FLOOR AND header MATCHES "/detail/")
      string(APPEND faults "\n  ${source}: includes ${header}, which is private to ${floor}/")
    endif()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "${FLOOR}/ may include only ${ALLOWED}:${faults}")
endif()
