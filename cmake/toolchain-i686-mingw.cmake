# Cross build for 32-bit Windows with mingw-w64 (posix threads variant, so that
# std::thread works in the Windows-side tests; everything links statically).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(Z9_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER   ${Z9_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${Z9_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${Z9_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${Z9_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest runs every Windows executable through Wine.
find_program(Z9_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${Z9_WINE})

set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
