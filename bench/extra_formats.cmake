# SPDX-License-Identifier: MIT
# The module library path, per file and per MB, against reading the same
# four-channel modules directly (see library_bench.cpp).
add_executable(vorneck_library_bench ${CMAKE_CURRENT_LIST_DIR}/library_bench.cpp)
target_link_libraries(vorneck_library_bench PRIVATE vorneck_extra_formats vorneck_demo benchmark::benchmark PkgConfig::XMP)
