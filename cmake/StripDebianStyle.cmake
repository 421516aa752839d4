# SPDX-License-Identifier: MIT
# Run by CPack before it builds the packages: strips every ELF file of the
# staged components the way Debian's dh_strip does, leaving out the symbols
# and the compiler's .comment and .note sections, which packages do not need.
file(GLOB_RECURSE _files LIST_DIRECTORIES FALSE "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS _files)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" _magic LIMIT 4 HEX)
  if(_magic STREQUAL "7f454c46")
    execute_process(
      COMMAND "${CPACK_VORNECK_STRIP}" --remove-section=.comment --remove-section=.note
              --strip-unneeded "${file}"
      RESULT_VARIABLE _result)
    if(NOT _result EQUAL 0)
      message(FATAL_ERROR "strip failed on ${file}")
    endif()
  endif()
endforeach()
