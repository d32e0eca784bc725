#!/bin/bash
# The soak: long runs of the monitor and of the capture chain on the bench
# camera under Wine, watched from outside the processes (Z9Soak.exe,
# testbed/soak/). Not part of the normal test run; the suite runs a short
# version of it (ctest -R soak_short).
#   Monitor: unplug/replug cycles, button states with and without a
#   registered capture dialog, suspend/resume pairs, all under one running
#   Z9100Mnt.exe; handles and threads back at their start values after each
#   phase, and an event account that matches the polling rules exactly.
#   Capture: presses with the capture dialog open at the TWAIN host stand-in;
#   exactly one picture per press, equal to the still; the host's private
#   memory within a bound of its value after the first ten presses.
#   DLLs: in Z9Soak.exe itself, the three DLL deliverables loaded, used (the
#   capture dialog opened and removed, a property page made) and freed again
#   and again; no runtime lock may stay behind, handles and threads back.
# It prints a table (operations, duration, failures, handles, threads and
# private memory at the start and end of each phase) and exits 0 when nothing
# failed.
# Usage: scripts/soak.sh [Z9Soak options]
#   defaults: /cycles=200 /states=10000 /suspends=50 /presses=500 /dllcycles=1000
#   e.g. scripts/soak.sh /states=2000 /presses=100 ; scripts/soak.sh /short
#   the DLL phase alone: scripts/soak.sh /cycles=0 /states=0 /suspends=0 /presses=0
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
source scripts/lib.sh
source scripts/host.sh

bash scripts/deps.sh || { echo "soak: installing the packages failed" >&2; exit 1; }
z9_decide_wine_arch || { echo "soak: no way to run Windows programs here" >&2; exit 1; }

BUILD="${Z9_SOAK_BUILD:-$ROOT/build/soak-$Z9_WINE_ARCH}"
z9_step "soak configure" cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$Z9_WIN_TOOLCHAIN" -DZ9_WINE_TESTS=OFF \
  -DZ9_SUBDIRS="common;imaging;tests/support;testbed;monitor;proppages;capture;uninstall" || { echo "soak: FAILED to configure" >&2; exit 1; }
z9_step "soak build" cmake --build "$BUILD" -j "${JOBS:-2}" --target \
  z9soak Z9100Mnt Z9100Twn Z9100Dex Z9100Rmv twainhost camctl z9bench_ksproxy z9bench_driver youcam z9bench_removal ||
  { echo "soak: FAILED to build" >&2; exit 1; }

export WINEPREFIX="${Z9_SOAK_PREFIX:-$ROOT/build/soak-prefix}" Z9_BUILD="$BUILD"
rc=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  source scripts/lib.sh
  z9_step "soak prefix" bash scripts/make-prefix.sh "$Z9_BUILD" || exit 90
  source scripts/wine-env.sh
  rc=0
  timeout 7200 wine "$Z9_BUILD/bin/Z9Soak.exe" "$@" || rc=$?
  wineserver -k 2>/dev/null || true
  exit $rc
' soak "$@" || rc=$?
case $rc in
  0) echo "soak: passed" ;;
  90) echo "soak: FAILED: the Wine prefix could not be prepared (see above)" >&2 ;;
  124) echo "soak: FAILED: Z9Soak.exe did not finish within 2 hours" >&2 ;;
  2) echo "soak: FAILED: the run could not start (bench, monitor or options: see the lines above)" >&2 ;;
  *) echo "soak: FAILED (exit code $rc): see the FAILED lines and the table above" >&2 ;;
esac
exit $rc
