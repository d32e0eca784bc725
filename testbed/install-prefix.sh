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

# Z: is the host's root in every prefix.
wine "$BIN/camctl.exe" setup "Z:${BIN//\//\\}"
wineserver -w

# Wine links the profile's Pictures folder to the host's home; the camera
# application saves its pictures there, so a test prefix keeps its own folder.
for pictures in "$WINEPREFIX"/drive_c/users/*/Pictures; do
  if [ -L "$pictures" ]; then rm -f "$pictures" && mkdir "$pictures"; fi
done
