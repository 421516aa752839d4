#!/usr/bin/env bash
# Builds the walker fuzz target with clang (libFuzzer, ASan, UBSan) and runs it
# for a bounded time, seeded with the demo modules and every saved regression.
#   scripts/fuzz.sh [SECONDS]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --test
seconds=${1:-60}

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORNECK_BUILD_FUZZ=ON -DVORNECK_SANITIZE=ON -DVORNECK_BUILD_UI=OFF -DVORNECK_BUILD_TESTS=OFF \
  -DVORNECK_BUILD_BENCH=OFF
cmake --build build-fuzz -j "$(nproc)" --target vorneck_walkers_fuzz vorneck-make-demo

corpus=build-fuzz/corpus
mkdir -p "$corpus" build-fuzz/artifacts
build-fuzz/demo/vorneck-make-demo "$corpus" >/dev/null
cp -n fuzz/regressions/* "$corpus"/ 2>/dev/null || true
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  build-fuzz/fuzz/vorneck_walkers_fuzz -max_total_time="$seconds" -max_len=262144 \
  -artifact_prefix=build-fuzz/artifacts/ -print_final_stats=1 "$corpus"
