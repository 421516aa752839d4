# SPDX-License-Identifier: MIT
add_executable(vorneck_run_bench ${CMAKE_CURRENT_LIST_DIR}/run_bench.cpp)
target_link_libraries(vorneck_run_bench PRIVATE vorneck_engine vorneck_cli vorneck_demo benchmark::benchmark)
