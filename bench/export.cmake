# SPDX-License-Identifier: MIT
add_executable(vorneck_export_bench ${CMAKE_CURRENT_LIST_DIR}/export_bench.cpp)
target_link_libraries(vorneck_export_bench PRIVATE vorneck_export vorneck_demo benchmark::benchmark)
