#!/bin/bash
# Runs the imaging fuzzers longer than the test suite's smoke runs.
#   bash scripts/fuzz.sh [SECONDS_EACH]   (default 600)
# Uses the native sanitizer build (build/native, as scripts/build.sh makes
# it); corpora grow in build/native/imaging/fuzz/corpus/. A crash leaves its
# input as crash-* in the current folder and makes this script fail.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
SECONDS_EACH=${1:-600}
BUILD=${Z9_FUZZ_BUILD:-build/native}
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZ9_SANITIZE=ON >/dev/null
fi
cmake --build "$BUILD" -j "${JOBS:-2}" --target fuzz_decode_image fuzz_mjpg_still make_fuzz_seeds
F="$BUILD/imaging/fuzz"
"$F/make_fuzz_seeds" "$F/seeds" "$F/corpus"
status=0
for t in fuzz_decode_image fuzz_mjpg_still; do
  echo "== $t for ${SECONDS_EACH}s"
  rc=0
  "$F/$t" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "$F/corpus/$t" "$F/seeds/$t" >"$F/$t.log" 2>&1 || rc=$?
  grep -E '^(stat::number_of_executed_units|stat::new_units_added|Done)|ERROR|SUMMARY' "$F/$t.log" || true
  if [ "$rc" -ne 0 ]; then
    echo "$t failed (exit $rc), log: $F/$t.log"
    status=1
  fi
done
exit $status
