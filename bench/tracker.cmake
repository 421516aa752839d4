# SPDX-License-Identifier: MIT
# The command line's own tracker readers against the module library path
# and the four-channel walker, on the same modules (see tracker_bench.cpp).
add_executable(vorneck_tracker_bench ${CMAKE_CURRENT_LIST_DIR}/tracker_bench.cpp)
target_link_libraries(vorneck_tracker_bench PRIVATE vorneck_engine vorneck_cli vorneck_demo benchmark::benchmark)
