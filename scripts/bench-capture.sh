#!/bin/bash
# Timing of the capture chain on the bench under Wine: from a press of the
# camera's button (the bench queues state 1) to the picture at the TWAIN host
# stand-in, over N presses (default 50) for a 640x480 YUY2 still and for the
# same still enlarged to 1280x960; median and 95th percentile, then the stages
# on their own (still request, decoding with the row flip, enlargement).
# A measurement, not a test: it fails only when the chain does not run.
# Usage: scripts/bench-capture.sh [PRESSES]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
PRESSES=${1:-50}
source scripts/lib.sh
source scripts/host.sh

bash scripts/deps.sh || { echo "bench-capture: installing the packages failed" >&2; exit 1; }
z9_decide_wine_arch || { echo "bench-capture: no way to run Windows programs here" >&2; exit 1; }

BUILD="$ROOT/build/bench-capture-$Z9_WINE_ARCH"
z9_step "bench-capture configure" cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$Z9_WIN_TOOLCHAIN" -DZ9_WINE_TESTS=OFF \
  -DZ9_SUBDIRS="common;imaging;tests/support;testbed;monitor;capture" || exit 1
z9_step "bench-capture build" cmake --build "$BUILD" -j "${JOBS:-2}" --target \
  Z9100Mnt Z9100Twn twainhost z9capture_bench camctl z9bench_ksproxy z9bench_driver youcam z9bench_removal ||
  exit 1

export WINEPREFIX="$ROOT/build/bench-capture-prefix" Z9_BUILD="$BUILD" PRESSES
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  source scripts/lib.sh
  z9_step "bench-capture prefix" bash scripts/make-prefix.sh "$Z9_BUILD" || exit 90
  source scripts/wine-env.sh
  rc=0
  timeout 600 wine "$Z9_BUILD/bin/Z9CaptureBench.exe" "$PRESSES" || rc=$?
  wineserver -k 2>/dev/null || true
  exit $rc
'
