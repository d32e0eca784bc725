// The library's four exports and its entry point.
#include <windows.h>
#include <objbase.h>

#include "class_table.h"
#include "page_base.h"
#include "registrar.h"
#include "vidset_app.h"

namespace {

// The library's own file, for InprocServer32 and the type library. Read in
// the ANSI form (the W form is a failing stub on Windows 98/ME) and widened
// from the ANSI code page. A name the ANSI code page cannot hold comes back
// with '?' in it, which no file name has: refused.
// Returns the Win32 error.
DWORD ModulePath(wchar_t (&path)[MAX_PATH]) {
  char ansi[MAX_PATH];
  const DWORD n = GetModuleFileNameA(z9::ModuleInstance(), ansi, MAX_PATH);
  if (n == 0) {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_MOD_NOT_FOUND;
  }
  if (n >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, path, MAX_PATH) <= 0) return ERROR_NO_UNICODE_TRANSLATION;
  for (const wchar_t* p = path; *p != 0; ++p)
    if (*p == L'?') return ERROR_NO_UNICODE_TRANSLATION;
  return ERROR_SUCCESS;
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
  const DWORD error = ModulePath(path);
  if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(error);
  return z9::RegisterServer(path);
}

STDAPI DllUnregisterServer() {
  // Without the path the type library is looked for under this process's platform.
  wchar_t path[MAX_PATH];
  return z9::UnregisterServer(ModulePath(path) == ERROR_SUCCESS ? path : nullptr);
}
