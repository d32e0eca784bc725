#!/bin/bash
# Installs what the builds, the tests and the demonstration use, when missing.
# Safe to run again. Needs root on Debian 12.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  g++-mingw-w64-i686 mingw-w64-tools libwine-dev
  wine wine32 xvfb xauth
  googletest libbenchmark-dev
  libjpeg-turbo-progs libturbojpeg0-dev libyuv-dev libswscale-dev
  imagemagick
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  echo "deps: installing ${missing[*]:-(package lists only)}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi
