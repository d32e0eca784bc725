#!/bin/bash
# The demonstration inside the caller's X session (scripts/demo.sh starts it):
# a fresh prefix with the bench camera, the setup program run as a person runs
# it, the installed state, the four demonstrations on the installed files,
# then the uninstall from the Add/Remove entry.
# Environment: WINEPREFIX, Z9_WINE_ARCH, Z9_BUILD (the cross build with
# dist/Z9100Setup.exe), Z9_PICTURES_DIR (the pictures' folder) and Z9_PICTURES
# (the same as a Windows path).
# Exit code: 0 when every step went as expected, 90 when the prefix could not
# be made, 124 when a part did not end in time, else the failing part's.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=${Z9_BUILD:?}
BIN=$BUILD/bin
SETUP=$BUILD/dist/Z9100Setup.exe
WORK=$BUILD/demo-work
source "$ROOT/scripts/lib.sh"
z9_step "demo prefix" bash "$ROOT/scripts/make-prefix.sh" "$BUILD" || exit 90
source "$ROOT/scripts/wine-env.sh"
WIN=$WINEPREFIX/drive_c/windows
rm -rf "$WORK"; mkdir -p "$WORK"

SETTINGS='HKLM\Software\RidEva\Z9100'
RUN='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
APP_PATHS='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\YouCam'
ADD_REMOVE='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\{FC9B811E-39BC-4813-9E29-B83CCF700010}'
MEDIASETS='HKLM\SYSTEM\CurrentControlSet\Control\MediaSets\{8C38BFCC-8D4D-4A5A-885B-270A9B4B6003}'

failures=0
step() { if [ "$1" = 0 ]; then echo "  [ok]     $2"; else echo "  [FAILED] $2"; failures=$((failures + 1)); fi; }
shown() { sed 's/^/           | /'; }
# Output through a file: a program it starts keeps a pipe open.
probe() { local rc=0; wine "$BIN/pkgprobe.exe" "$@" >"$WORK/probe.raw" 2>/dev/null || rc=$?; tr -d '\r' <"$WORK/probe.raw"; return $rc; }
regval() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n 's/^    .*    REG_[A-Z_]*    //p' | head -n 1
}
# Wine finds files whatever their case; so does this.
wpath() { find "$WIN" -ipath "$WIN/$1" 2>/dev/null | head -n 1; }
wait_gone() { local i; for i in $(seq 1 "$2"); do [ -e "$1" ] || return 0; sleep 1; done; return 1; }
# Runs one demonstration program of the build; stops the demonstration when it fails.
demo_part() {
  local seconds=$1 exe=$2 rc=0
  timeout "$seconds" wine "$BIN/$exe" "$Z9_PICTURES" || rc=$?
  if [ $rc -ne 0 ]; then wineserver -k 2>/dev/null; exit $rc; fi
}

# The bench stands in for what the setup program writes (the property pages'
# registration, App Paths); a machine without the camera software has neither.
wine reg delete "$MEDIASETS" /f >/dev/null 2>&1
wine reg delete "$APP_PATHS" /f >/dev/null 2>&1

echo "The setup program, as a person runs it: Z9100Setup.exe -> Install -> Finish"
rc=0; probe setup-ui "Z:${SETUP//\//\\}" "$Z9_PICTURES\\demo-installer.png" >"$WORK/setup.out" || rc=$?
step $rc "Z9100Setup.exe: its welcome page, Install, Finish; exit code $rc"
[ -s "$WORK/setup.out" ] && shown <"$WORK/setup.out"
step "$([ -s "$Z9_PICTURES_DIR/demo-installer.png" ] && echo 0 || echo 1)" "picture of the welcome page saved: demo-installer.png"
if [ $rc -ne 0 ]; then wineserver -k 2>/dev/null; exit 1; fi

echo "What it installed:"
for f in RidEva/Z9100/Z9100Mnt.exe RidEva/Z9100/LG1033.dat TWAIN_32/Z9100/Z9100Cam.ds TWAIN_32/Z9100/Z9100Twn.dll \
         System/Z9100Dex.dll System/Z9100Rmv.dll System/Z9100LAp.exe; do
  found=$(wpath "$f")
  step "$([ -s "$found" ] && echo 0 || echo 1)" "C:\\windows\\${f//\//\\}"
done
monitor=$(regval "$RUN" Z9100Mnt)
step "$([ -n "$monitor" ] && echo 0 || echo 1)" "Run entry \"Z9100Mnt\" (the monitor at logon): $monitor"
app=$(wine reg query "$APP_PATHS" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^    .*    REG_[A-Z_]*    //p' | head -n 1)
step "$([ -n "$app" ] && echo 0 || echo 1)" "App Paths \"YouCam\" (what the button starts): $app"
uninstall=$(regval "$ADD_REMOVE" UninstallString)
step "$([ -n "$uninstall" ] && echo 0 || echo 1)" "Add/Remove Programs: \"$(regval "$ADD_REMOVE" DisplayName)\", uninstall command: $uninstall"
wine reg query "$SETTINGS" 2>/dev/null | tr -d '\r' | sed -n 's/^    //p' | shown

# Wine's source manager loads only <WINDIR>\twain_NN\sane.ds: the installed
# source and its capture dialog are staged there (the bench staged the build's).
if [ "$WINEARCH" = win64 ]; then twain=twain_64; else twain=twain_32; fi
ds=$(wpath TWAIN_32/Z9100/Z9100Cam.ds); twn=$(wpath TWAIN_32/Z9100/Z9100Twn.dll)
rc=1
if [ -n "$ds" ] && [ -n "$twn" ] && mkdir -p "$WIN/$twain" && cp "$ds" "$WIN/$twain/sane.ds" &&
   cp "$twn" "$WIN/$twain/Z9100Twn.dll"; then rc=0; fi
step $rc "the installed data source staged for Wine's source manager as $twain\\sane.ds"
wineserver -w

demo_part 60 Z9CaptureDemo.exe
if [ -f "$WINEPREFIX/drive_c/bench/demo/picture_001.bmp" ]; then
  echo "demo: the picture the host saved: $WINEPREFIX/drive_c/bench/demo/picture_001.bmp"
fi
# A TWAIN application acquires through the source manager (twain_demo.cpp).
demo_part 60 Z9TwainDemo.exe
if [ -f "$WINEPREFIX/drive_c/bench/demo/twain-acquired.bmp" ]; then
  echo "demo: the picture the TWAIN application took: $WINEPREFIX/drive_c/bench/demo/twain-acquired.bmp"
fi
# The camera application, started by the button.
demo_part 60 Z9CameraAppDemo.exe
demo_part 90 Z9MntDemo.exe

echo "The uninstall, as a person starts it from Add/Remove Programs: $uninstall"
rc=0; probe run 120000 "$uninstall" >"$WORK/uninstall.out" || rc=$?
step $rc "the uninstall command ended with exit code $rc"
[ -s "$WORK/uninstall.out" ] && shown <"$WORK/uninstall.out"
gone=0
for f in RidEva/Z9100/Z9100Mnt.exe TWAIN_32/Z9100/Z9100Cam.ds System/Z9100LAp.exe System/Z9100Dex.dll; do
  [ -z "$(wpath "$f")" ] || { gone=1; echo "           still there: $f"; }
done
step $gone "the installed files are gone"
rc=1; wait_gone "$(wpath System/Z9100Rmv.dll)" 30 && rc=0
step $rc "the uninstaller removed itself"
rc=0
for key in "$SETTINGS" "$ADD_REMOVE"; do
  if wine reg query "$key" >/dev/null 2>&1; then rc=1; echo "           still there: $key"; fi
done
[ -z "$(regval "$RUN" Z9100Mnt)" ] || { rc=1; echo "           still there: the Run entry Z9100Mnt"; }
step $rc "the settings, the Run entry and the Add/Remove entry are gone"
rc=0
if wine reg query "$APP_PATHS" >/dev/null 2>&1; then rc=1; echo "           still there: $APP_PATHS"; fi
step $rc "App Paths \"YouCam\" is gone"

wineserver -k 2>/dev/null
[ "$failures" = 0 ] || echo "The setup program's steps: $failures failed."
[ "$failures" = 0 ]
