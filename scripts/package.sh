#!/bin/bash
# Builds the setup program build/dist/Z9100Setup.exe (ANSI, x86: starts on
# Windows 98, ME, 2000 and XP) from the i686 build (build/win32), and checks
# its imports like the deliverables'.
#
# The kernel driver is the camera maker's: Z9_KERNEL_DRIVER_DIR=DIR names the
# folder that holds its Z9100KNT.sys. Without it the test bench's stand-in
# driver is packed, which is for test machines only (the script says so).
#   Z9_KERNEL_DRIVER_DIR=/path/to/driver bash scripts/package.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
source scripts/lib.sh
JOBS=${JOBS:-$(nproc)}

driver=${Z9_KERNEL_DRIVER_DIR:-}
if [ -n "$driver" ]; then
  if [ ! -d "$driver" ]; then
    echo "package: the kernel driver folder '$driver' does not exist (Z9_KERNEL_DRIVER_DIR)" >&2
    exit 1
  fi
  if [ ! -f "$driver/Z9100KNT.sys" ]; then
    echo "package: '$driver' holds no Z9100KNT.sys, the camera maker's kernel driver (Z9_KERNEL_DRIVER_DIR)" >&2
    exit 1
  fi
  driver=$(cd "$driver" && pwd)
  echo "package: kernel driver from $driver"
else
  echo "package: no Z9_KERNEL_DRIVER_DIR given: packing the test bench's stand-in driver (test machines only)"
fi
command -v makensis >/dev/null || bash scripts/deps.sh

z9_step "configure win32" cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake" -DZ9_KERNEL_DRIVER_DIR="$driver"
echo "package: building the deliverables and the setup program (build/win32)"
z9_step "build setup" cmake --build build/win32 -j "$JOBS" --target z9_setup
z9_step "setup imports" ctest --test-dir build/win32 -R '^deliverable_imports$' --output-on-failure
mkdir -p build/dist
cp build/win32/dist/Z9100Setup.exe build/dist/Z9100Setup.exe
echo "package: build/dist/Z9100Setup.exe ($(stat -c %s build/dist/Z9100Setup.exe) bytes)"
