#!/bin/bash
# Builds both builds and runs every test: the native suite and, in a fresh
# private Wine prefix inside one Xvfb session, the Windows suite. One ctest
# run drives both.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"

bash scripts/deps.sh
bash scripts/build.sh

# One CTest tree over both builds.
mkdir -p build/all
cat > build/all/CTestTestfile.cmake <<CT
subdirs("$ROOT/build/native")
subdirs("$ROOT/build/win32")
CT

export WINEPREFIX="$ROOT/build/prefix"
export Z9_BUILD="$ROOT/build/win32"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -e
  bash scripts/make-prefix.sh "$Z9_BUILD"
  source scripts/wine-env.sh
  rc=0
  ctest --test-dir build/all --output-on-failure -j1 || rc=$?
  wineserver -k 2>/dev/null || true
  exit $rc
'
