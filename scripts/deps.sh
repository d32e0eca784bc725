#!/bin/bash
# Installs what the builds, the tests and the demonstration use, when missing.
# Safe to run again. Needs root on Debian 12.
# wine32 is always installed (the probe of scripts/host.sh runs its 32-bit
# loader); on a host that runs no 32-bit code (or with Z9_WINE_ARCH=win64)
# 64-bit Wine and the x86-64 cross compiler are added.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
source "$ROOT/scripts/lib.sh"

BASE=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config python3
  g++-mingw-w64-i686 mingw-w64-tools libwine-dev
  wine wine32 fonts-wine xvfb xauth nsis
  googletest libbenchmark-dev
  libjpeg-turbo-progs libturbojpeg0-dev libyuv-dev libswscale-dev
  imagemagick
)
WIN64=(wine64 g++-mingw-w64-x86-64)

install_missing() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ] || return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "deps: missing packages ${missing[*]}; run as root (apt-get) or install them" >&2
    return 1
  fi
  echo "deps: installing ${missing[*]:-(package lists only)}"
  export DEBIAN_FRONTEND=noninteractive
  z9_step "apt-get update" apt-get update -q || return 1
  need_update=
  if [ ${#missing[@]} -gt 0 ]; then
    z9_step "apt-get install" apt-get install -y -q --no-install-recommends "${missing[@]}" || return 1
  fi
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  z9_step "dpkg --add-architecture i386" dpkg --add-architecture i386
  need_update=1
fi
install_missing "${BASE[@]}"

source "$ROOT/scripts/host.sh"
z9_decide_wine_arch >/dev/null
if [ "$Z9_WINE_ARCH" = win64 ]; then
  install_missing "${WIN64[@]}"
fi
