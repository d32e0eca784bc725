// Z9100Rmv.dll: the exported entry that the system's DLL runner calls,
// "rundll32 Z9100Rmv.dll,WinMainRmv <command word>".
#include <windows.h>

#include "uninstall.h"

namespace {
HINSTANCE g_module = nullptr;  // this library, owner of the debug list window
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

// Only the command text is read. Returns 0 in every case.
extern "C" int WINAPI WinMainRmv(HWND, HINSTANCE, LPSTR commandText, int) {
  z9rmv::RunWinMainRmv(g_module, commandText);
  return 0;
}
