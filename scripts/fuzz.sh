#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each
# for a bounded time, seeded with the demo modules of both sets and every
# saved regression:
#   walkers     format detection and the engine's two walkers, in memory
#   cli_run     the whole command line with -a over one file on disk
#   library_stream  the parent's reading of a loading child's answer
#   mod_family, xm, s3m, it  the command line's own tracker readers, in memory
#   scripts/fuzz.sh [SECONDS] [TARGET...]   (default 60 seconds each, every target)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --test
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(walkers cli_run library_stream mod_family xm s3m it)

CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORNECK_BUILD_FUZZ=ON -DVORNECK_SANITIZE=ON -DVORNECK_BUILD_UI=OFF -DVORNECK_BUILD_TESTS=OFF \
  -DVORNECK_BUILD_BENCH=OFF
build_targets=(vorneck-make-demo vorneck-make-tracker-demo)
for t in "${targets[@]}"; do build_targets+=("vorneck_${t}_fuzz"); done
cmake --build build-fuzz -j "$(nproc)" --target "${build_targets[@]}"

seeds=build-fuzz/seeds
mkdir -p "$seeds" build-fuzz/artifacts
build-fuzz/demo/vorneck-make-demo "$seeds" >/dev/null
build-fuzz/demo/vorneck-make-tracker-demo "$seeds" >/dev/null
cp -n fuzz/regressions/* "$seeds"/ 2>/dev/null || true

for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus-$t
  mkdir -p "$corpus"
  echo "fuzz: $t for ${seconds} s" >&2
  # The command line forks a child per file of another format; its
  # allocation limit is libFuzzer's to leave alone (-malloc_limit_mb).
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    "build-fuzz/fuzz/vorneck_${t}_fuzz" -max_total_time="$seconds" -max_len=262144 -timeout=60 \
    -malloc_limit_mb=65536 -artifact_prefix="build-fuzz/artifacts/$t-" -print_final_stats=1 \
    "$corpus" "$seeds"
done
