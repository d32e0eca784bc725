// The entry point of the DLL deliverables (the link sets it; see
// cmake/Z9Deliverable.cmake): the runtime's own entry, which calls DllMain
// and runs the module's destructors and atexit functions at DLL_PROCESS_DETACH,
// and after it, when the DLL is being freed and the process goes on, the
// runtime locks that nothing else closes (legacy_runtime.cpp) and the C++
// runtime's reserve for exceptions thrown when memory runs out (a block
// taken from the heap at load and never given back, some 24 KiB per load and
// unload in a host that keeps going). By then no code
// of this module can take a lock: its destructors have run, its TLS callbacks
// are called before the entry point, and its code leaves the process when
// this returns. When the process is ending (reserved not null) other threads
// may have been stopped holding a lock, and the system takes the handles
// back anyway, so nothing is closed then.
#include <windows.h>

#include "legacy_runtime.h"

extern "C" BOOL WINAPI DllMainCRTStartup(HANDLE module, DWORD reason, LPVOID reserved);

namespace __gnu_cxx {
void __freeres();  // frees the exception reserve (libstdc++, static here)
}

extern "C" BOOL WINAPI z9DllEntry(HANDLE module, DWORD reason, LPVOID reserved) {
  const BOOL ok = DllMainCRTStartup(module, reason, reserved);
  // A failed attach has torn the runtime down already.
  const bool tornDown = reason == DLL_PROCESS_DETACH || (reason == DLL_PROCESS_ATTACH && !ok);
  if (tornDown && reserved == nullptr) {
    z9::CloseRuntimeLocks();
    __gnu_cxx::__freeres();
  }
  return ok;
}
