# SPDX-License-Identifier: MIT
# Libraries the programs open at run time (dlopen) instead of linking: their
# sonames, for the code that opens them, and their Debian packages, for the
# packages' Depends (dpkg-shlibdeps sees only linked libraries).

# The soname of the shared library at `path` (links followed).
function(vorneck_soname out path)
  list(GET path 0 first)
  get_filename_component(real "${first}" REALPATH)
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p "${real}" OUTPUT_VARIABLE dump ERROR_QUIET)
  string(REGEX MATCH "SONAME[ \t]+([^\n \t]+)" found "${dump}")
  if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "Cannot find the soname of ${first} (objdump: ${CMAKE_OBJDUMP})")
  endif()
  set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# "package (>= version)" of the Debian package holding the library at
# `path`, or `fallback` where dpkg cannot tell.
function(vorneck_library_package out path fallback)
  list(GET path 0 first)
  get_filename_component(real "${first}" REALPATH)
  vorneck_soname(soname "${first}")
  get_filename_component(dir "${real}" DIRECTORY)
  set(result "${fallback}")
  find_program(DPKG_QUERY dpkg-query)
  if(DPKG_QUERY)
    execute_process(COMMAND ${DPKG_QUERY} -S "${dir}/${soname}" OUTPUT_VARIABLE owner ERROR_QUIET
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    string(REGEX MATCH "^([^:,]+)" package "${owner}")
    if(package)
      execute_process(COMMAND ${DPKG_QUERY} -W -f=\${Version} ${package} OUTPUT_VARIABLE version ERROR_QUIET)
      # The upstream part: the build needs at least what it was made against.
      string(REGEX REPLACE "^([0-9]+:)?([^-]+).*$" "\\2" upstream "${version}")
      if(upstream)
        set(result "${package} (>= ${upstream})")
      else()
        set(result "${package}")
      endif()
    endif()
  endif()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()
