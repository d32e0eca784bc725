#!/bin/bash
# The capture chain and the monitor at work on the virtual camera: builds what
# it needs (the cross build of the shared code, the still decoder, the test
# bench, the monitor and the capture dialog), prepares a fresh Wine prefix with
# the bench camera inside a virtual X display, then
#  1. the capture chain (testbed/demo): Z9100Mnt.exe polls the camera, the TWAIN
#     host stand-in opens the capture dialog with live preview, the camera's
#     button is pressed and the picture lands at the host (saved as a BMP);
#  2. the camera application: a press with nothing open starts Z9100LAp.exe,
#     the next press saves a picture in the user's picture folder;
#  3. the monitor's own paths (testbed/demo/monitor_demo.cpp): Z9100Mnt.exe with its log window
#     shown, a button press with a capture-dialog stand-in registered and one
#     without, unplug and replug, the disconnect warning;
#  4. a TWAIN application (testbed/twainapp) acquires the still through Wine's
#     source manager and the camera's source after a button press;
# saves pictures under docs/pictures/ and prints what happened.
# The build is i686 under 32-bit Wine, or x86-64 under 64-bit Wine where the
# host runs no 32-bit code (scripts/host.sh; Z9_WINE_ARCH forces one).
# Usage: scripts/demo.sh        (root on Debian 12 for the package check)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
START=$(date +%s)
source scripts/lib.sh
source scripts/host.sh

finish() {
  local rc=$1 why=${2:-}
  if [ "$rc" -ne 0 ] && [ -n "$why" ]; then echo "demo: FAILED: $why" >&2; fi
  echo "demo: finished in $(( $(date +%s) - START )) s (exit code $rc)"
  exit "$rc"
}

bash scripts/deps.sh || finish $? "installing the packages failed (see above)"
z9_decide_wine_arch || finish $? "no way to run Windows programs here"

BUILD="$ROOT/build/demo-$Z9_WINE_ARCH"
echo "demo: building the monitor, the capture dialog and the bench (cross build in $BUILD)"
z9_step "demo configure" cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$Z9_WIN_TOOLCHAIN" -DZ9_WINE_TESTS=OFF \
  -DZ9_SUBDIRS="common;imaging;tests/support;testbed;monitor;capture;twainds;cameraapp" || finish 1 "configuring the build failed"
z9_step "demo build" cmake --build "$BUILD" -j "${JOBS:-2}" --target \
  Z9100Mnt z9mnt_demo camctl z9bench_ksproxy z9bench_driver youcam z9bench_removal \
  Z9100Twn twainhost z9capture_demo Z9100Cam twainapp z9twain_demo ||
  finish 1 "building the monitor, the capture dialog and the bench failed"
# The camera application and its step.
z9_step "demo build camera application" cmake --build "$BUILD" -j "${JOBS:-2}" --target Z9100LAp z9cameraapp_demo ||
  finish 1 "building the camera application failed"

PICTURES="$ROOT/docs/pictures"
mkdir -p "$PICTURES"
rm -f "$PICTURES/monitor-log.png" "$PICTURES/monitor-screen.png" \
  "$PICTURES/demo-capture-dialog.png" "$PICTURES/demo-captured-still.png" "$PICTURES/demo-twain-acquire.png" \
  "$PICTURES/demo-camera-app.png"

export WINEPREFIX="$ROOT/build/demo-prefix"
export Z9_BUILD="$BUILD" Z9_PICTURES="Z:${PICTURES//\//\\}"
echo "demo: preparing the $Z9_WINE_ARCH Wine prefix with the virtual camera ($WINEPREFIX)"
rc=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  source scripts/lib.sh
  z9_step "demo prefix" bash scripts/make-prefix.sh "$Z9_BUILD" || exit 90
  source scripts/wine-env.sh
  rc=0
  timeout 60 wine "$Z9_BUILD/bin/Z9CaptureDemo.exe" "$Z9_PICTURES" || rc=$?
  if [ -f "$WINEPREFIX/drive_c/bench/demo/picture_001.bmp" ]; then
    echo "demo: the picture the host saved: $WINEPREFIX/drive_c/bench/demo/picture_001.bmp"
  fi
  [ $rc -eq 0 ] || { wineserver -k 2>/dev/null || true; exit $rc; }
  # The camera application, started by the button.
  timeout 60 wine "$Z9_BUILD/bin/Z9CameraAppDemo.exe" "$Z9_PICTURES" || rc=$?
  [ $rc -eq 0 ] || { wineserver -k 2>/dev/null || true; exit $rc; }
  timeout 90 wine "$Z9_BUILD/bin/Z9MntDemo.exe" "$Z9_PICTURES" || rc=$?
  [ $rc -eq 0 ] || { wineserver -k 2>/dev/null || true; exit $rc; }
  # A TWAIN application acquires through the source manager (testbed/demo/twain_demo.cpp).
  timeout 60 wine "$Z9_BUILD/bin/Z9TwainDemo.exe" "$Z9_PICTURES" || rc=$?
  if [ -f "$WINEPREFIX/drive_c/bench/demo/twain-acquired.bmp" ]; then
    echo "demo: the picture the TWAIN application took: $WINEPREFIX/drive_c/bench/demo/twain-acquired.bmp"
  fi
  wineserver -k 2>/dev/null || true
  exit $rc
' || rc=$?
case $rc in
  0) ;;
  90) finish 1 "preparing the Wine prefix failed (see above)" ;;
  124) finish $rc "a part of the demonstration did not end in time (60 s for the capture chain, the camera application and the TWAIN application, 90 s for the monitor)" ;;
  *) finish $rc "the demonstration reported failed steps or could not run (exit code $rc$(z9_exit_meaning $rc))" ;;
esac

# The pictures come out uncompressed; shrink them when ImageMagick is there.
for png in "$PICTURES/monitor-log.png" "$PICTURES/monitor-screen.png" \
           "$PICTURES/demo-capture-dialog.png" "$PICTURES/demo-captured-still.png" \
           "$PICTURES/demo-twain-acquire.png" "$PICTURES/demo-camera-app.png"; do
  if [ -f "$png" ] && command -v convert >/dev/null; then
    convert "$png" -strip -define png:compression-level=9 "$png.tmp" && mv "$png.tmp" "$png"
  fi
done
echo "demo: pictures in docs/pictures/: $(cd "$PICTURES" && ls demo-*.png monitor-*.png 2>/dev/null | tr '\n' ' ')"
finish 0
