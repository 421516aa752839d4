# SPDX-License-Identifier: MIT
# The date of this release, from the newest entry of the Debian changelog
# (whose version is checked against project() by the tests):
#   VORNECK_RELEASE_DATE    2026-12-08, for the AppStream metadata
#   VORNECK_RELEASE_MONTH   December 2026, for the manual pages
set(_changelog ${PROJECT_SOURCE_DIR}/packaging/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_changelog})
file(STRINGS ${_changelog} _trailer LIMIT_COUNT 1
     REGEX "^ -- .+  [A-Z][a-z][a-z], [0-9]+ [A-Z][a-z][a-z] [0-9][0-9][0-9][0-9] ")
if(NOT _trailer MATCHES "  [A-Z][a-z][a-z], ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "${_changelog}: no entry with a date")
endif()
set(_day ${CMAKE_MATCH_1})
set(_month ${CMAKE_MATCH_2})
set(_year ${CMAKE_MATCH_3})
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(_names January February March April May June July August September October November December)
list(FIND _months ${_month} _index)
if(_index LESS 0)
  message(FATAL_ERROR "${_changelog}: unknown month ${_month}")
endif()
math(EXPR _number "${_index} + 1")
list(GET _names ${_index} _name)
string(LENGTH "${_day}" _length)
if(_length EQUAL 1)
  set(_day "0${_day}")
endif()
if(_number LESS 10)
  set(_number "0${_number}")
endif()
set(VORNECK_RELEASE_DATE "${_year}-${_number}-${_day}")
set(VORNECK_RELEASE_MONTH "${_name} ${_year}")
