# Sourced: decides how the Windows suite runs on this host, and says so.
#   win32 - the i686 build under 32-bit Wine in a win32 prefix (Windows XP):
#           the binaries that ship, on the systems they are made for.
#   win64 - the same sources built for x86-64 under 64-bit Wine in a win64
#           prefix, for hosts whose kernel runs no 32-bit code at all.
# The i686 deliverables are built, and their imports checked, either way.
# Z9_WINE_ARCH=win32 or win64 forces one; otherwise a probe decides: the
# 32-bit loader (from wine32's libc6:i386) is run once.
# Sets Z9_WINE_ARCH, Z9_WIN_BUILD (the build whose Windows programs run here)
# and Z9_WIN_TOOLCHAIN.
z9_decide_wine_arch() {
  local why
  case ${Z9_WINE_ARCH:-} in
    win32 | win64) why="forced by Z9_WINE_ARCH" ;;
    "")
      if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
        Z9_WINE_ARCH=win32
        why="this host runs 32-bit code (probe: /lib/ld-linux.so.2 --version)"
      else
        Z9_WINE_ARCH=win64
        why="this host runs no 32-bit code (probe /lib/ld-linux.so.2 --version failed)"
      fi
      ;;
    *)
      echo "Z9_WINE_ARCH must be win32 or win64, not '$Z9_WINE_ARCH'" >&2
      return 2
      ;;
  esac
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  if [ "$Z9_WINE_ARCH" = win32 ]; then
    Z9_WIN_BUILD=${Z9_WIN_BUILD:-$root/build/win32}
    Z9_WIN_TOOLCHAIN=$root/cmake/toolchain-i686-mingw.cmake
    echo "host: Windows suite on the i686 build under 32-bit Wine ($why)"
  else
    Z9_WIN_BUILD=${Z9_WIN_BUILD:-$root/build/win64}
    Z9_WIN_TOOLCHAIN=$root/cmake/toolchain-x86_64-mingw.cmake
    echo "host: Windows suite on an x86-64 build under 64-bit Wine ($why); the i686 deliverables are built and checked too"
  fi
  export Z9_WINE_ARCH Z9_WIN_BUILD Z9_WIN_TOOLCHAIN
}
