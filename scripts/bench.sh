#!/bin/bash
# Builds the imaging benchmark in its own Release build without sanitizers
# (build/bench) and runs it: Google Benchmark's table, then the ratio table
# ours / peer (libjpeg-turbo, libyuv, libswscale, memcpy) per kernel level.
# Extra arguments go to the benchmark, e.g. --benchmark_min_time=1.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
JOBS=${JOBS:-2}
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZ9_SANITIZE=OFF -DZ9_BENCH=ON \
  -DZ9_SUBDIRS=imaging >/dev/null
cmake --build build/bench -j "$JOBS" --target imaging_bench
build/bench/imaging/bench/imaging_bench "$@"
