#!/bin/bash
# Configures and builds: build/native (host compiler, sanitizers, fuzzers),
# build/win32 (i686 Windows with mingw-w64: what ships) and, where the Windows
# suite runs on x86-64 (scripts/host.sh), build/win64. On such a host the
# i686 build's Windows programs are built but not registered as tests: only
# the import check of its deliverables runs.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
source scripts/lib.sh
source scripts/host.sh
[ -n "${Z9_WIN_TOOLCHAIN:-}" ] || z9_decide_wine_arch
JOBS=${JOBS:-$(nproc)}

z9_step "configure native" cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZ9_SANITIZE=ON
echo "build: native build (build/native)"
z9_step "build native" cmake --build build/native -j "$JOBS"

i686_tests=ON
[ "$Z9_WINE_ARCH" = win32 ] || i686_tests=OFF
z9_step "configure win32" cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake" -DZ9_WINE_TESTS=$i686_tests
echo "build: i686 Windows build (build/win32)"
z9_step "build win32" cmake --build build/win32 -j "$JOBS"

if [ "$Z9_WINE_ARCH" = win64 ]; then
  z9_step "configure win64" cmake -S . -B "$Z9_WIN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$Z9_WIN_TOOLCHAIN" -DZ9_WINE_TESTS=ON
  echo "build: x86-64 Windows build ($Z9_WIN_BUILD)"
  z9_step "build win64" cmake --build "$Z9_WIN_BUILD" -j "$JOBS"
fi
