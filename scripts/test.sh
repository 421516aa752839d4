#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds everything and runs the whole test suite.
#   scripts/test.sh              release build with warnings as errors
#   scripts/test.sh --sanitize   the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   scripts/test.sh --threads    the engine's tests under ThreadSanitizer (the threads that
#                                read and write ahead of the run)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --test

if [ "${1:-}" = "--threads" ]; then
  cmake -S . -B build-threads -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNECK_WERROR=ON \
    -DVORNECK_BUILD_UI=OFF -DVORNECK_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread
  cmake --build build-threads -j "$(nproc)" --target vorneck_engine_tests
  TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" build-threads/tests/engine/vorneck_engine_tests
  exit
fi

build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNECK_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-sanitize
  options=(-DCMAKE_BUILD_TYPE=Debug -DVORNECK_SANITIZE=ON -DVORNECK_BUILD_BENCH=OFF -DVORNECK_WERROR=ON)
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
fi

cmake -S . -B "$build" -G Ninja "${options[@]}"
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
