#!/bin/bash
# The monitor at work on the virtual camera: builds what it needs (the cross
# build of the shared code, the test bench and the monitor), prepares a fresh
# Wine prefix with the bench camera inside a virtual X display, runs
# Z9100Mnt.exe with its log window shown, presses the camera button with a
# capture-dialog stand-in registered and once without, unplugs and replugs
# the camera, raises the disconnect warning, saves pictures of the log window
# and the screen under docs/pictures/ and prints what happened.
# Usage: scripts/demo.sh        (root on Debian 12 for the package check)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
START=$(date +%s)

bash scripts/deps.sh

BUILD="$ROOT/build/demo-win32"
echo "demo: building the monitor and the bench (cross build in $BUILD)"
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake" \
  -DZ9_SUBDIRS="common;tests/support;testbed;monitor" >/dev/null
cmake --build "$BUILD" -j "${JOBS:-2}" --target \
  Z9100Mnt z9mnt_demo camctl z9bench_ksproxy z9bench_driver youcam z9bench_removal >/dev/null

PICTURES="$ROOT/docs/pictures"
mkdir -p "$PICTURES"
rm -f "$PICTURES/monitor-log.png" "$PICTURES/monitor-screen.png"

export WINEPREFIX="$ROOT/build/demo-prefix"
export Z9_BUILD="$BUILD" Z9_PICTURES="Z:${PICTURES//\//\\}"
echo "demo: preparing the Wine prefix with the virtual camera ($WINEPREFIX)"
rc=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -e
  bash scripts/make-prefix.sh "$Z9_BUILD" >/dev/null
  source scripts/wine-env.sh
  rc=0
  timeout 90 wine "$Z9_BUILD/bin/Z9MntDemo.exe" "$Z9_PICTURES" || rc=$?
  wineserver -k 2>/dev/null || true
  exit $rc
' || rc=$?

# The pictures come out uncompressed; shrink them when ImageMagick is there.
for png in "$PICTURES/monitor-log.png" "$PICTURES/monitor-screen.png"; do
  if [ -f "$png" ] && command -v convert >/dev/null; then
    convert "$png" -strip -define png:compression-level=9 "$png.tmp" && mv "$png.tmp" "$png"
  fi
done
echo "demo: pictures in docs/pictures/: $(cd "$PICTURES" && ls monitor-*.png 2>/dev/null | tr '\n' ' ')"
echo "demo: finished in $(( $(date +%s) - START )) s (exit code $rc)"
exit $rc
