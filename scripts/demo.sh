#!/bin/bash
# The camera software as a person gets it and uses it, on the virtual camera:
# builds the setup program and the test bench (cross build), prepares a fresh
# Wine prefix with the bench camera inside a virtual X display, runs
# Z9100Setup.exe there (welcome page, Install, Finish) and shows what it
# installed, then, on the installed files (testbed/demo/install-and-run.sh):
#  1. the capture chain (testbed/demo): Z9100Mnt.exe, started as the Run entry
#     names it, polls the camera, the TWAIN host stand-in opens the installed
#     capture dialog with live preview, the camera's button is pressed and the
#     picture lands at the host (saved as a BMP);
#  2. a TWAIN application (testbed/twainapp) acquires the still through Wine's
#     source manager and the installed source after a button press;
#  3. the camera application: a press with nothing open starts what App Paths
#     "YouCam" names, the next press saves a picture in the user's picture folder;
#  4. the monitor's own paths (testbed/demo/monitor_demo.cpp): Z9100Mnt.exe
#     with its log window shown, a button press with a capture-dialog stand-in
#     registered and one without, unplug and replug, the disconnect warning;
# and ends with the uninstall command of the Add/Remove entry. Saves pictures
# under docs/pictures/ and prints what happened.
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
echo "demo: building the setup program and the bench (cross build in $BUILD)"
z9_step "demo configure" cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$Z9_WIN_TOOLCHAIN" -DZ9_WINE_TESTS=OFF \
  -DZ9_SUBDIRS="common;imaging;tests/support;testbed;monitor;proppages;capture;twainds;cameraapp;uninstall;package" ||
  finish 1 "configuring the build failed"
# The setup program packs every deliverable; the rest is the bench and the
# programs that drive the demonstration.
z9_step "demo build" cmake --build "$BUILD" -j "${JOBS:-2}" --target z9_setup pkgprobe \
  camctl z9bench_ksproxy z9bench_driver youcam z9bench_removal twainhost twainapp \
  z9capture_demo z9twain_demo z9cameraapp_demo z9mnt_demo ||
  finish 1 "building the setup program and the bench failed"

PICTURES="$ROOT/docs/pictures"
mkdir -p "$PICTURES"
rm -f "$PICTURES/monitor-log.png" "$PICTURES/monitor-screen.png" \
  "$PICTURES/demo-capture-dialog.png" "$PICTURES/demo-captured-still.png" "$PICTURES/demo-twain-acquire.png" \
  "$PICTURES/demo-camera-app.png" "$PICTURES/demo-installer.png"

export WINEPREFIX="$ROOT/build/demo-prefix"
export Z9_BUILD="$BUILD" Z9_PICTURES_DIR="$PICTURES" Z9_PICTURES="Z:${PICTURES//\//\\}"
echo "demo: preparing the $Z9_WINE_ARCH Wine prefix with the virtual camera ($WINEPREFIX)"
rc=0
xvfb-run -a -s "-screen 0 1024x768x24" bash testbed/demo/install-and-run.sh || rc=$?
case $rc in
  0) ;;
  90) finish 1 "preparing the Wine prefix failed (see above)" ;;
  124) finish $rc "a part of the demonstration did not end in time (60 s for the capture chain, the TWAIN application and the camera application, 90 s for the monitor)" ;;
  *) finish $rc "the demonstration reported failed steps or could not run (exit code $rc$(z9_exit_meaning $rc))" ;;
esac

# The pictures come out uncompressed; shrink them when ImageMagick is there.
for png in "$PICTURES/monitor-log.png" "$PICTURES/monitor-screen.png" \
           "$PICTURES/demo-capture-dialog.png" "$PICTURES/demo-captured-still.png" \
           "$PICTURES/demo-twain-acquire.png" "$PICTURES/demo-camera-app.png" "$PICTURES/demo-installer.png"; do
  if [ -f "$png" ] && command -v convert >/dev/null; then
    convert "$png" -strip -define png:compression-level=9 "$png.tmp" && mv "$png.tmp" "$png"
  fi
done
echo "demo: pictures in docs/pictures/: $(cd "$PICTURES" && ls demo-*.png monitor-*.png 2>/dev/null | tr '\n' ' ')"
finish 0
