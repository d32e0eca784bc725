#!/bin/bash
# Builds the imaging benchmark in its own Release build without sanitizers
# (build/bench) and runs it once per kernel level (one process each, since
# libjpeg-turbo reads its SIMD switches once per process): the processor,
# Google Benchmark's table, then the ratio table ours / peer (libjpeg-turbo,
# libyuv, libswscale, memcpy) with the peers capped at the same level
# (AVX2: their AVX-512 paths off; SSE2: JSIMD_FORCESSE2 and the like).
# Z9_BENCH_LEVELS picks the levels (default "2 1": AVX2, SSE2; 0 is scalar).
# Extra arguments go to the benchmark, e.g. --benchmark_min_time=1s.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
JOBS=${JOBS:-2}
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DZ9_SANITIZE=OFF -DZ9_BENCH=ON \
  -DZ9_SUBDIRS=imaging >/dev/null
cmake --build build/bench -j "$JOBS" --target imaging_bench
for level in ${Z9_BENCH_LEVELS:-2 1}; do
  build/bench/imaging/bench/imaging_bench --z9-level="$level" "$@"
done
