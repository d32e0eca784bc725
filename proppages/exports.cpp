// The library's four exports and its entry point.
#include <windows.h>
#include <objbase.h>

#include "class_table.h"
#include "page_base.h"
#include "registrar.h"
#include "vidset_app.h"

namespace {

// The library's own file, for InprocServer32 and the type library.
bool ModulePath(wchar_t (&path)[MAX_PATH]) {
  const DWORD n = GetModuleFileNameW(z9::ModuleInstance(), path, MAX_PATH);
  return n > 0 && n < MAX_PATH;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    z9::TheApp().InitInstance(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    z9::TheApp().ExitInstance();
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  z9::ClassEntry* entry = z9::FindClass(clsid);
  if (entry == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  return z9::GetClassFactory(entry, iid, out);
}

// Objects alive, server locks and factory references all count.
STDAPI DllCanUnloadNow() { return z9::ModuleLockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  if (!ModulePath(path)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  return z9::RegisterServer(path);
}

STDAPI DllUnregisterServer() { return z9::UnregisterServer(); }
