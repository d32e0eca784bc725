#!/bin/bash
# Installs the test bench into the prefix $WINEPREFIX that scripts/make-prefix.sh
# has just made: the replacement Ksproxy.ax (with its DLL override and class
# registration), the stand-in camera driver and the camera device, the video
# input and property-page registrations, and the stand-in outside programs.
# Usage: install-prefix.sh BUILD_DIR   (the cross build)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "${1:?usage: install-prefix.sh BUILD_DIR}" && pwd)
BIN="$BUILD/bin"
source "$ROOT/scripts/wine-env.sh"

for f in camctl.exe ksproxy.ax Z9100KNT.sys z9cam.inf youcam.exe Z9100Remov.exe; do
  if [ ! -f "$BIN/$f" ]; then
    echo "install-prefix: $BIN/$f is missing (build the cross build first)" >&2
    exit 1
  fi
done

# The camera's TWAIN source where Wine's source manager finds it. Wine's
# manager loads only <WINDIR>\twain_32\sane.ds and gphoto2.ds (twain_64 in a
# 64-bit prefix) and searches no folder, so test prefixes carry ours under
# that name with Z9100Twn.dll beside it; an installation keeps
# <WINDIR>\TWAIN_32\Z9100\Z9100Cam.ds.
if [ -f "$BIN/Z9100Cam.ds" ] && [ -f "$BIN/Z9100Twn.dll" ]; then
  if [ "${WINEARCH:-win32}" = win64 ]; then twain_dir=twain_64; else twain_dir=twain_32; fi
  mkdir -p "$WINEPREFIX/drive_c/windows/$twain_dir"
  cp "$BIN/Z9100Cam.ds" "$WINEPREFIX/drive_c/windows/$twain_dir/sane.ds"
  cp "$BIN/Z9100Twn.dll" "$WINEPREFIX/drive_c/windows/$twain_dir/Z9100Twn.dll"
fi

# Z: is the host's root in every prefix.
wine "$BIN/camctl.exe" setup "Z:${BIN//\//\\}"
wineserver -w

# Wine links the profile's Pictures folder to the host's home; the camera
# application saves its pictures there, so a test prefix keeps its own folder.
for pictures in "$WINEPREFIX"/drive_c/users/*/Pictures; do
  if [ -L "$pictures" ]; then rm -f "$pictures" && mkdir "$pictures"; fi
done
