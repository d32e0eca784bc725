#!/bin/bash
# Runs the fuzz targets longer than the test suite's smoke runs: the two
# still decoders (imaging/fuzz) and the readers of the driver's answers
# (common/fuzz).
#   bash scripts/fuzz.sh [SECONDS_EACH] [TARGET...]   (default 600 s, every target)
# Z9_FUZZ_RUNS=N stops each target after N executions instead (the time
# still bounds it). Uses the native sanitizer build (build/native, as
# scripts/build.sh makes it; Z9_FUZZ_BUILD names another); corpora grow in
# <build>/imaging/fuzz/corpus/ and <build>/common/fuzz/corpus/. Prints one
# line per target (executions, seconds, executions per second, new units,
# result) and fails, leaving the input as crash-* in the current folder, if
# any run finds a fault.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
SECONDS_EACH=${1:-600}
shift || true
BUILD=${Z9_FUZZ_BUILD:-build/native}
IMAGING_TARGETS="fuzz_decode_image fuzz_mjpg_still"
READER_TARGETS="fuzz_button_state fuzz_still_size fuzz_stream_info fuzz_control_info fuzz_description"
TARGETS=${*:-"$IMAGING_TARGETS $READER_TARGETS"}
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZ9_SANITIZE=ON >/dev/null
fi
# shellcheck disable=SC2086
cmake --build "$BUILD" -j "${JOBS:-2}" --target $TARGETS make_fuzz_seeds
IMG="$BUILD/imaging/fuzz"
COM="$BUILD/common/fuzz"
"$IMG/make_fuzz_seeds" "$IMG/seeds" "$IMG/corpus"
RUNS_ARG=()
if [ -n "${Z9_FUZZ_RUNS:-}" ]; then RUNS_ARG=(-runs="$Z9_FUZZ_RUNS"); fi
status=0
printf '%-20s %14s %9s %12s %9s  %s\n' target executions seconds exec/s new_units result
for t in $TARGETS; do
  case " $IMAGING_TARGETS " in
    *" $t "*) exe="$IMG/$t"; dirs=("$IMG/corpus/$t" "$IMG/seeds/$t"); extra=() ;;
    *) exe="$COM/$t"; mkdir -p "$COM/corpus/$t"; dirs=("$COM/corpus/$t"); extra=(-max_len=256) ;;
  esac
  log="$(dirname "$exe")/$t.log"
  rc=0
  start=$(date +%s.%N)
  "$exe" -max_total_time="$SECONDS_EACH" "${RUNS_ARG[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "${extra[@]}" "${dirs[@]}" >"$log" 2>&1 || rc=$?
  end=$(date +%s.%N)
  execs=$(grep -m1 '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  units=$(grep -m1 '^stat::new_units_added' "$log" | awk '{print $2}')
  secs=$(awk -v a="$start" -v b="$end" 'BEGIN{printf "%.0f", b-a}')
  rate=$(awk -v e="${execs:-0}" -v s="$secs" 'BEGIN{if (s>0) printf "%.0f", e/s; else print 0}')
  result=ok
  if [ "$rc" -ne 0 ]; then
    result="FAILED (exit $rc, log $log)"
    grep -E 'ERROR|SUMMARY' "$log" || true
    status=1
  fi
  printf '%-20s %14s %9s %12s %9s  %s\n' "$t" "${execs:-?}" "$secs" "$rate" "${units:-?}" "$result"
done
exit $status
