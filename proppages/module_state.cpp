// The library's instance handle and its lock count.
#include <windows.h>

#include "page_base.h"

// The linker's symbol at the start of the image that holds this code: the
// module handle of the library, or of a program that links the pages in.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace z9 {
namespace {

HINSTANCE g_instance = nullptr;
LONG g_locks = 0;

}  // namespace

HINSTANCE ModuleInstance() {
  if (g_instance == nullptr) g_instance = reinterpret_cast<HINSTANCE>(&__ImageBase);
  return g_instance;
}

void SetModuleInstance(HINSTANCE instance) { g_instance = instance; }

void LockModule() { InterlockedIncrement(&g_locks); }
void UnlockModule() { InterlockedDecrement(&g_locks); }
LONG ModuleLockCount() { return InterlockedCompareExchange(&g_locks, 0, 0); }

}  // namespace z9
