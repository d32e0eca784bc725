# Sourced: the Wine settings every test run and the demonstration use.
# Z9_WINE_ARCH (scripts/host.sh) picks the prefix kind; for win64 the 64-bit
# loader is put first on PATH as wine / wineboot / winecfg, because Debian's
# wrappers pick the 32-bit loader whenever wine32 is installed.
: "${WINEPREFIX:?WINEPREFIX must name the private prefix}"
export WINEPREFIX
export WINEARCH=${Z9_WINE_ARCH:-win32}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
if [ "$WINEARCH" = win64 ]; then
  case ":$PATH:" in
    *":$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-bin:"*) ;;
    *) export PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64-bin:$PATH" ;;
  esac
fi
