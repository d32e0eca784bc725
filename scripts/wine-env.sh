# Sourced: the Wine settings every test run and the demonstration use.
export WINEARCH=win32
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}
: "${WINEPREFIX:?WINEPREFIX must name the private prefix}"
export WINEPREFIX
