#!/bin/bash
# Prepares a fresh private Wine prefix at $WINEPREFIX: win32 with Windows XP
# (or, with Z9_WINE_ARCH=win64, win64 with Windows XP x64, the oldest version
# a win64 prefix takes), unmanaged windows, then whatever the test bench
# installs into it.
# Run inside the same X session (xvfb-run) as the programs that will use it.
# Usage: make-prefix.sh BUILD_DIR   (the cross build, for the bench's files)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/win32}
source "$ROOT/scripts/wine-env.sh"

wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
if ! out=$(wineboot -i 2>&1); then
  echo "make-prefix: wineboot -i failed for a $WINEARCH prefix:" >&2
  echo "$out" | tail -n 20 >&2
  exit 1
fi
wineserver -w
if [ "$WINEARCH" = win64 ]; then version=winxp64; else version=winxp; fi
if ! out=$(wine winecfg -v $version 2>&1); then
  echo "make-prefix: winecfg -v $version failed:" >&2
  echo "$out" | tail -n 20 >&2
  exit 1
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
# A crashing program ends at once instead of waiting in the debugger.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# A D: drive for files the tests place outside C:.
mkdir -p "$WINEPREFIX/drive_d"
ln -sfn ../drive_d "$WINEPREFIX/dosdevices/d:"
wineserver -w

if [ -f "$ROOT/testbed/install-prefix.sh" ] && [ -f "$BUILD/bin/camctl.exe" ]; then
  bash "$ROOT/testbed/install-prefix.sh" "$BUILD"
else
  echo "make-prefix: no test bench in $BUILD, plain prefix only"
fi
echo "prefix ready: $WINEPREFIX"
