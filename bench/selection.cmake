# SPDX-License-Identifier: MIT
add_executable(vorneck_selection_bench ${CMAKE_CURRENT_LIST_DIR}/selection_bench.cpp)
target_link_libraries(vorneck_selection_bench PRIVATE vorneck_selection benchmark::benchmark)
