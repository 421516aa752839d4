# SPDX-License-Identifier: MIT
# The main window's file list at 100,000 entries: loading it, and the
# selection commands and the user's own selecting shown in it.
if(TARGET vorneck_ui)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  add_executable(vorneck_file_list_bench ${CMAKE_CURRENT_LIST_DIR}/file_list_bench.cpp)
  target_link_libraries(vorneck_file_list_bench PRIVATE vorneck_ui Qt6::Test benchmark::benchmark)
endif()
