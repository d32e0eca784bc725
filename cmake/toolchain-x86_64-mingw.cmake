# The same sources built for 64-bit Windows, for hosts that cannot execute
# 32-bit code: there the Windows suite runs under 64-bit Wine in a win64
# prefix. Never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(Z9_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# The 64-bit loader itself: /usr/bin/wine would pick the 32-bit one whenever
# wine32 is installed.
find_program(Z9_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${Z9_WINE})
