# Cross build for 32-bit Windows: what ships. ctest runs its Windows programs
# through 32-bit Wine (the wrapper /usr/bin/wine picks the 32-bit loader).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(Z9_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

find_program(Z9_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${Z9_WINE})
