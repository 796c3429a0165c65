# The release the newest entry of packaging/changelog describes: its version should be the
# project's, and its date is the release date the AppStream metainfo names.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/changelog durvane_changelog_lines REGEX "^(durvane \\(| -- )")
list(GET durvane_changelog_lines 0 durvane_newest_entry)
string(REGEX MATCH "^durvane \\(([^)]+)\\)" durvane_match "${durvane_newest_entry}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(WARNING "packaging/changelog: the newest entry is for ${CMAKE_MATCH_1}, the project "
    "is at ${PROJECT_VERSION}; add an entry before packaging (scripts/package.sh refuses)")
endif()
list(GET durvane_changelog_lines 1 durvane_signature)
string(REGEX MATCH ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) "
  durvane_match "${durvane_signature}")
set(durvane_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND durvane_months "${CMAKE_MATCH_2}" durvane_month)
if(NOT durvane_match OR durvane_month LESS 0)
  message(FATAL_ERROR "packaging/changelog: no date in '${durvane_signature}'")
endif()
math(EXPR durvane_month "${durvane_month} + 1")
if(durvane_month LESS 10)
  set(durvane_month "0${durvane_month}")
endif()
set(DURVANE_RELEASE_DATE "${CMAKE_MATCH_3}-${durvane_month}-${CMAKE_MATCH_1}")
