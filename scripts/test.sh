#!/bin/bash
# Builds everything and runs every test: the native suite, the import check of
# the i686 deliverables and, in a fresh private Wine prefix inside one Xvfb
# session, the Windows suite (on the i686 build under 32-bit Wine, or on an
# x86-64 build under 64-bit Wine where the host runs no 32-bit code: see
# scripts/host.sh). One ctest run drives them all.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
source scripts/lib.sh
source scripts/host.sh

bash scripts/deps.sh
z9_decide_wine_arch
bash scripts/build.sh

# One CTest tree over the builds.
mkdir -p build/all
{
  echo "subdirs(\"$ROOT/build/native\")"
  echo "subdirs(\"$ROOT/build/win32\")"
  [ "$Z9_WIN_BUILD" = "$ROOT/build/win32" ] || echo "subdirs(\"$Z9_WIN_BUILD\")"
} > build/all/CTestTestfile.cmake

export WINEPREFIX="$ROOT/build/prefix"
echo "test: fresh $Z9_WINE_ARCH Wine prefix ($WINEPREFIX), then ctest"
rc=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  source scripts/lib.sh
  z9_step "make-prefix" bash scripts/make-prefix.sh "$Z9_WIN_BUILD" || exit $?
  source scripts/wine-env.sh
  rc=0
  ctest --test-dir build/all --output-on-failure -j1 || rc=$?
  wineserver -k 2>/dev/null || true
  exit $rc
' || rc=$?
if [ "$rc" -ne 0 ]; then
  echo "test: FAILED (exit code $rc): see the failing steps or tests above" >&2
fi
exit $rc
