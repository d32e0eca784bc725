# Shared part of the two cross toolchains (included with Z9_TRIPLE set).
#
# The win32-thread variant of mingw-w64 is used on purpose: the posix variant
# links winpthreads into every binary, and with it imports (GetTickCount64,
# AddVectoredExceptionHandler) that Windows 98, ME and 2000 do not have, so the
# deliverables would not even load there. Code uses the Win32 thread and
# synchronisation calls directly; std::thread and std::mutex do not exist here.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${Z9_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${Z9_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER  ${Z9_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${Z9_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Everything links statically: no mingw runtime DLL travels with the product.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
