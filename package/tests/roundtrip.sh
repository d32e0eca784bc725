#!/bin/bash
# Install, use and uninstall: the setup program of BUILD_DIR/dist in a fresh
# prefix of its own with the bench camera and another maker's device, checked
# against a snapshot of the prefix taken before. Runs inside the caller's X
# session (xvfb-run); leaves the prefix in BUILD_DIR/roundtrip-prefix.
# usage: roundtrip.sh BUILD_DIR [PICTURES_DIR]   (PICTURES_DIR: where installer.png goes)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:?usage: roundtrip.sh BUILD_DIR [PICTURES_DIR]}" && pwd)
PICTURES=${2:-}
BIN=$BUILD/bin
SETUP=$BUILD/dist/Z9100Setup.exe
WORK=$BUILD/roundtrip
# The prefix kind follows the build (ctest may run without scripts/host.sh).
if [ -z "${Z9_WINE_ARCH:-}" ]; then
  if grep -q 'toolchain-x86_64' "$BUILD/CMakeCache.txt"; then Z9_WINE_ARCH=win64; else Z9_WINE_ARCH=win32; fi
fi
export Z9_WINE_ARCH
export WINEPREFIX=$BUILD/roundtrip-prefix
source "$ROOT/scripts/wine-env.sh"
DRIVE=$WINEPREFIX/drive_c
WIN=$DRIVE/windows
SNAP="python3 $ROOT/package/tests/snapshot.py"

failures=0
ok() { echo "[ok] $1"; }
bad() { echo "[FAILED] $1"; failures=$((failures + 1)); }
# Like check, and shows the output when it passes too.
check_shown() { check "$@"; [ "${last_ok:-0}" = 1 ] && sed 's/^/    /' "$WORK/last.out"; return 0; }
check() { local what=$1; shift; last_ok=0; if "$@" >"$WORK/last.out" 2>&1; then last_ok=1; ok "$what"; else bad "$what"; sed 's/^/    /' "$WORK/last.out"; fi; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
# Output through a file: a program they start keeps a pipe open.
probe() { local rc=0; wine "$BIN/pkgprobe.exe" "$@" >"$WORK/probe.raw" 2>/dev/null || rc=$?; tr -d '\r' <"$WORK/probe.raw"; return $rc; }
camctl() { local rc=0; wine "$BIN/camctl.exe" "$@" >"$WORK/camctl.raw" 2>&1 || rc=$?; tr -d '\r' <"$WORK/camctl.raw"; return $rc; }
# A value's data as reg shows it ("" as NAME: the key's default value).
regval() {
  if [ -z "$2" ]; then wine reg query "$1" /ve; else wine reg query "$1" /v "$2"; fi 2>/dev/null |
    tr -d '\r' | sed -n 's/^    .*    REG_[A-Z_]*    //p' | head -n 1
}
regkey() { wine reg query "$1" >/dev/null 2>&1; }
settle() { timeout 60 wineserver -w || { echo "    (wineserver still busy after 60 s: stopped)"; wineserver -k; }; }
# Wine finds files whatever their case; so does this.
wpath() { find "$WIN" -ipath "$WIN/$1" 2>/dev/null | head -n 1; }
wfile() { [ -n "$(find "$WIN" -ipath "$WIN/$1" -size +0 2>/dev/null | head -n 1)" ]; }
wait_gone() { local i; for i in $(seq 1 "$2"); do [ -e "$1" ] || return 0; sleep 1; done; return 1; }

SETTINGS='HKLM\Software\RidEva\Z9100'
ADD_REMOVE='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\{FC9B811E-39BC-4813-9E29-B83CCF700010}'
RUN='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
MEDIASETS='HKLM\SYSTEM\CurrentControlSet\Control\MediaSets\{8C38BFCC-8D4D-4A5A-885B-270A9B4B6003}'
APP_PATHS='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\YouCam'
UNINSTALL_CMD='rundll32.exe C:\windows\System\Z9100Rmv.dll,WinMainRmv'

rm -rf "$WORK"; mkdir -p "$WORK"
[ -f "$SETUP" ] || { echo "roundtrip: $SETUP is missing (build the z9_setup target)"; exit 1; }

echo "== fresh prefix with the bench camera and another maker's device"
bash "$ROOT/scripts/make-prefix.sh" "$BUILD" >"$WORK/prefix.log" 2>&1 || { tail "$WORK/prefix.log"; exit 1; }
# The bench stands in for what the setup program writes (page registration, App
# Paths); a machine without the camera software has neither.
wine reg delete "$MEDIASETS" /f >/dev/null 2>&1
wine reg delete "$APP_PATHS" /f >/dev/null 2>&1
mkdir -p "$DRIVE/bench/other"
cp "$BIN/z9other.inf" "$DRIVE/bench/other/oem1.inf"
printf 'another maker\r\n' >"$DRIVE/bench/other/Z9Other.dat"
# It has no driver of its own, so camctl waits in vain for a capture interface.
camctl install foreign 'C:\bench\other\oem1.inf' >/dev/null
check "the other maker's device is installed" regkey 'HKLM\SYSTEM\CurrentControlSet\Enum\ROOT\VID_1234&PID_5678\0000'
settle
$SNAP take "$WINEPREFIX" "$WORK/before.json"

echo "== refused runs change nothing"
wine winecfg -v win7 >/dev/null 2>&1
probe run 60000 "$(winpath "$SETUP") /S" >"$WORK/refused.out"; rc=$?
check "on an unsupported system the setup program refuses (exit 2)" test "$rc" = 2
wine winecfg -v winxp64 >/dev/null 2>&1
mkdir -p "$WIN/RidEva"; printf 'not a folder' >"$WIN/RidEva/Z9100"
probe run 60000 "$(winpath "$SETUP") /S" >"$WORK/readonly.out"; rc=$?
check "an installation folder that cannot be written (a file in its place) is refused (exit 2)" test "$rc" = 2
rm -f "$WIN/RidEva/Z9100"; rmdir "$WIN/RidEva" 2>/dev/null
check "  ... and nothing was installed" bash -c "! wine reg query '$SETTINGS' >/dev/null 2>&1 && [ ! -e '$WIN/System/Z9100Dex.dll' ]"

echo "== silent install"
probe run 120000 "$(winpath "$SETUP") /S" >"$WORK/install.out"; rc=$?
check "Z9100Setup.exe /S exits 0 and shows no box" bash -c "[ $rc = 0 ] && ! grep -q '^box:' '$WORK/install.out'"
for f in RidEva/Z9100/Z9100Mnt.exe RidEva/Z9100/LG1033.dat RidEva/Z9100/Z9100Oem.inf RidEva/Z9100/Z9100KNT.sys \
         TWAIN_32/Z9100/Z9100Twn.dll System/Z9100Dex.dll System/Z9100Rmv.dll system32/drivers/Z9100KNT.sys \
         TWAIN_32/Z9100/Z9100Cam.ds System/Z9100LAp.exe; do
  check "file <WINDIR>/$f" wfile "$f"
done
check "settings DeviceId" test "$(regval "$SETTINGS" DeviceId)" = 'VID_FFF1&PID_A14C'
check "settings FriendlyName" test "$(regval "$SETTINGS" FriendlyName)" = 'Opticam, Q7710C USB Camera'
check "settings LangFilePath" test "$(regval "$SETTINGS" LangFilePath)" = 'C:\windows\RidEva\Z9100'
check "settings MultiLangID (English: the prefix's language has no file)" test "$(regval "$SETTINGS" MultiLangID)" = 0x409
for v in DeviceStatus AudioStatus PlaySound MSNNotifySupport DefaultFlip PropertyPage; do
  check "settings $v = 0" test "$(regval "$SETTINGS" $v)" = 0x0
done
check "Run entry Z9100Mnt" test "$(regval "$RUN" Z9100Mnt)" = '"C:\windows\RidEva\Z9100\Z9100Mnt.exe"'
check "Add/Remove entry's uninstall command" test "$(regval "$ADD_REMOVE" UninstallString)" = "$UNINSTALL_CMD"
check "Add/Remove entry's name" test "$(regval "$ADD_REMOVE" DisplayName)" = 'Opticam Q7710C USB Camera'
for c in 0 1 2 3; do
  check "page {7EBBB1AF-...-9D4E5B98300$c} under MediaSets" regkey "$MEDIASETS\\PropertyPages\\{7EBBB1AF-C455-4F97-B5E7-9D4E5B98300$c}"
done
oem=$(grep -l 'FileCpy.TwnCfg' "$WIN"/inf/*.inf 2>/dev/null | head -n 1)
check "the driver package is staged in <WINDIR>/inf under a name with OEM" bash -c "basename '${oem:-none}' | grep -qi oem"
check "the camera uses it (its InfPath)" bash -c "wine reg query 'HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}' /s 2>/dev/null | tr -d '\\r' | grep -qi 'InfPath.*$(basename "${oem:-none}")'"
probe frame >"$WORK/frame.out"
check "the capture filter's property frame shows the four pages" bash -c "grep -qx 'tab: Video Proc Amp' '$WORK/frame.out' && grep -qx 'tab: Camera Control' '$WORK/frame.out' && grep -qx 'tab: Property Page' '$WORK/frame.out' && grep -qx 'tab: Image Control' '$WORK/frame.out'"
check "App Paths YouCam" test "$(regval "$APP_PATHS" '')" = 'C:\windows\System\Z9100LAp.exe'
lnk=$(find "$DRIVE/users" -ipath '*/programs/y4200lap.lnk' | head -n 1)
target=; [ -n "$lnk" ] && target=$(probe shortcut "$(winpath "$lnk")")
check "the shortcut Y4200LAp.lnk resolves to the camera application" test "$target" = 'C:\windows\System\Z9100LAp.exe'

echo "== the monitor as at logon; the button into a TWAIN application, then with nothing open"
check "the Run entry's program starts" probe start-run-entry
check "  ... and its window appears" probe wait-window Z9100MntWndClass Z9100Mnt 15000
# Wine's source manager loads only <WINDIR>\twain_NN\sane.ds: the installed
# source is staged there the way the bench stages it (install-prefix.sh).
if [ "$WINEARCH" = win64 ]; then twain=twain_64; else twain=twain_32; fi
mkdir -p "$WIN/$twain" "$DRIVE/bench/rt"
cp "$(wpath TWAIN_32/Z9100/Z9100Cam.ds)" "$WIN/$twain/sane.ds"
cp "$(wpath TWAIN_32/Z9100/Z9100Twn.dll)" "$WIN/$twain/Z9100Twn.dll"
wine "$BIN/twainapp.exe" '/log=C:\bench\rt\twainapp.log' '/out=C:\bench\rt\twain.bmp' /wait=40000 >/dev/null 2>&1 &
app=$!
for i in $(seq 1 30); do grep -q '^enabled' "$DRIVE/bench/rt/twainapp.log" 2>/dev/null && break; sleep 1; done
check "a TWAIN application opens the installed data source through the source manager" grep -q '^enabled 0' "$DRIVE/bench/rt/twainapp.log"
# The capture dialog registers with the monitor once its preview runs.
sleep 4
camctl button 1 >/dev/null
rc=1; for i in $(seq 1 40); do kill -0 $app 2>/dev/null || { wait $app; rc=$?; break; }; sleep 1; done
check "a button press lands a picture in the TWAIN application" bash -c "[ $rc = 0 ] && [ -s '$DRIVE/bench/rt/twain.bmp' ]"
[ "$rc" = 0 ] || sed 's/^/    /' "$DRIVE/bench/rt/twainapp.log" 2>/dev/null
kill $app 2>/dev/null
sleep 2
camctl button 11 >/dev/null
check "a button press with nothing open starts the camera application" probe wait-window Z9100LApWndClass '*' 20000
probe close-window Z9100LApWndClass '*' >/dev/null
probe wait-no-window Z9100LApWndClass '*' 15000 >/dev/null

echo "== the setup program again: repairs, keeps tuned values, with the monitor running"
rm -f "$WIN/RidEva/Z9100/LG1033.dat"
twn=$(wpath TWAIN_32/Z9100/Z9100Twn.dll)
printf 'damaged' >"$twn"
wine reg add "$SETTINGS" /v PlaySound /t REG_DWORD /d 2 /f >/dev/null 2>&1
wine reg add "$SETTINGS" /v DeviceStatus /t REG_DWORD /d 5 /f >/dev/null 2>&1
wine reg add "$SETTINGS" /v DefaultFlip /t REG_SZ /d garbage /f >/dev/null 2>&1
probe run 120000 "$(winpath "$SETUP") /S" >"$WORK/repair.out"; rc=$?
check "a second run exits 0" test "$rc" = 0
check "  ... puts the missing language file back" cmp -s "$WIN/RidEva/Z9100/LG1033.dat" "$ROOT/package/lang/LG1033.dat"
check "  ... repairs a damaged file" cmp -s "$twn" "$BIN/Z9100Twn.dll"
check "  ... keeps a tuned PlaySound" test "$(regval "$SETTINGS" PlaySound)" = 0x2
check "  ... resets DeviceStatus" test "$(regval "$SETTINGS" DeviceStatus)" = 0x0
check "  ... replaces a DefaultFlip of the wrong type" test "$(regval "$SETTINGS" DefaultFlip)" = 0x0
check "  ... and starts the monitor it closed" probe wait-window Z9100MntWndClass Z9100Mnt 15000

echo "== interactive uninstall from the Add/Remove entry (the monitor running)"
probe run 120000 "$(regval "$ADD_REMOVE" UninstallString)" >"$WORK/uninstall.out"; rc=$?
check "the uninstall command exits 0 and shows no box" bash -c "[ $rc = 0 ] && ! grep -q '^box:' '$WORK/uninstall.out'"
check "  ... the monitor has stopped" probe wait-no-window Z9100MntWndClass Z9100Mnt 5000
check "  ... the clean-up batch deleted the uninstaller" wait_gone "$WIN/System/Z9100Rmv.dll" 30
check "  ... and itself" wait_gone "$WIN/System/DeMySelf.Bat" 30
check "the other maker's device is still there" regkey 'HKLM\SYSTEM\CurrentControlSet\Enum\ROOT\VID_1234&PID_5678\0000'
settle
$SNAP take "$WINEPREFIX" "$WORK/after-uninstall.json"
check_shown "compared with the snapshot, nothing the setup program wrote remains" $SNAP compare "$WORK/before.json" "$WORK/after-uninstall.json"

echo "== a second installation, interactive; then a silent uninstall, twice"
check "the bench camera is plugged in again" camctl install camera 'C:\bench\driver\oem0.inf'
shot=$WORK/installer.png
probe setup-ui "$(winpath "$SETUP")" "$(winpath "$shot")" >"$WORK/setup-ui.out"; rc=$?
check "Z9100Setup.exe interactive: welcome page, Install, Finish; exit 0" test "$rc" = 0
check "  ... its welcome page was photographed" test -s "$shot"
if [ -n "$PICTURES" ] && [ -s "$shot" ]; then
  if command -v convert >/dev/null; then convert "$shot" -strip -define png:compression-level=9 "$PICTURES/installer.png"
  else cp "$shot" "$PICTURES/installer.png"; fi
fi
check "  ... installed the settings and the files" bash -c "[ -s '$WIN/RidEva/Z9100/Z9100Mnt.exe' ] && wine reg query '$SETTINGS' /v DeviceId >/dev/null 2>&1"
probe run 120000 "$UNINSTALL_CMD /Silent" >"$WORK/silent.out"; rc=$?
check "the uninstall command with /Silent exits 0 and shows no box" bash -c "[ $rc = 0 ] && ! grep -q '^box:' '$WORK/silent.out'"
probe run 120000 "$UNINSTALL_CMD /Silent" >"$WORK/silent2.out"; rc=$?
check "  ... and again: exit 0, no box" bash -c "[ $rc = 0 ] && ! grep -q '^box:' '$WORK/silent2.out'"
settle
$SNAP take "$WINEPREFIX" "$WORK/after-silent.json"
check_shown "compared with the snapshot, only what a silent run keeps remains" $SNAP compare "$WORK/before.json" "$WORK/after-silent.json" --silent

wineserver -k 2>/dev/null
echo "roundtrip: $failures failed"
[ "$failures" = 0 ]
