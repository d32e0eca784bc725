#!/bin/bash
# Configures and builds both builds: build/native (host, sanitizers, fuzzers)
# and build/win32 (i686 Windows with mingw-w64).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
JOBS=${JOBS:-$(nproc)}

cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZ9_SANITIZE=ON >/dev/null
cmake --build build/native -j "$JOBS"

cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake" >/dev/null
cmake --build build/win32 -j "$JOBS"
