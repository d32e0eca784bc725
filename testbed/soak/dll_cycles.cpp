#include "dll_cycles.h"

#include <objbase.h>
#include <ocidl.h>

#include "page_clsids.h"

namespace z9soak {

namespace {

using CreateDialogFn = int(__cdecl*)(HWND);
using RemoveDialogFn = int(__cdecl*)();
using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(WINAPI*)();

struct DialogSearch {
  HWND host;
  int found;
};

BOOL CALLBACK CountOwnedDialog(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<DialogSearch*>(p);
  char cls[16] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (GetWindow(w, GW_OWNER) == s->host && lstrcmpA(cls, "#32770") == 0) ++s->found;
  return TRUE;
}

// Dialog boxes owned by `host` (the capture dialog is one).
int DialogsOwnedBy(HWND host) {
  DialogSearch search{host, 0};
  EnumThreadWindows(GetCurrentThreadId(), CountOwnedDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// What the thread has queued for windows that are gone by now.
void DrainMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

bool UseCaptureDialog(HMODULE library, HWND host, std::string* error) {
  auto create = reinterpret_cast<CreateDialogFn>(GetProcAddress(library, "CreateUIDlg"));
  auto remove = reinterpret_cast<RemoveDialogFn>(GetProcAddress(library, "RemoveUIDlg"));
  if (create == nullptr || remove == nullptr) {
    *error = "CreateUIDlg or RemoveUIDlg is missing";
    return false;
  }
  create(host);  // its answer says whether a monitor heard of the dialog
  DrainMessages();
  const int opened = DialogsOwnedBy(host);
  remove();
  DrainMessages();
  const int left = DialogsOwnedBy(host);
  if (opened == 1 && left == 0) return true;
  *error = "CreateUIDlg opened " + std::to_string(opened) + " dialog(s), " + std::to_string(left) +
           " left after RemoveUIDlg";
  return false;
}

bool UsePropertyPages(HMODULE library, std::string* error) {
  auto getClassObject = reinterpret_cast<GetClassObjectFn>(GetProcAddress(library, "DllGetClassObject"));
  auto canUnload = reinterpret_cast<CanUnloadFn>(GetProcAddress(library, "DllCanUnloadNow"));
  if (getClassObject == nullptr || canUnload == nullptr) {
    *error = "DllGetClassObject or DllCanUnloadNow is missing";
    return false;
  }
  IClassFactory* factory = nullptr;
  HRESULT hr = getClassObject(z9::CLSID_PropPage1, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr) || factory == nullptr) {
    *error = "DllGetClassObject failed";
    return false;
  }
  IPropertyPage* page = nullptr;
  hr = factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page));
  factory->Release();
  if (FAILED(hr) || page == nullptr) {
    *error = "the class factory made no property page";
    return false;
  }
  page->Release();
  if (canUnload() != S_OK) {
    *error = "DllCanUnloadNow does not allow the unload after every object was released";
    return false;
  }
  return true;
}

}  // namespace

const char* DllFileName(DllKind kind) {
  switch (kind) {
    case DllKind::CaptureDialog: return "Z9100Twn.dll";
    case DllKind::PropertyPages: return "Z9100Dex.dll";
    case DllKind::Uninstaller: return "Z9100Rmv.dll";
  }
  return "?";
}

bool CycleDll(DllKind kind, const std::string& folder, HWND host, std::string* error) {
  const std::string path = folder + "\\" + DllFileName(kind);
  HMODULE library = LoadLibraryA(path.c_str());
  if (library == nullptr) {
    *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  bool ok = false;
  switch (kind) {
    case DllKind::CaptureDialog: ok = UseCaptureDialog(library, host, error); break;
    case DllKind::PropertyPages: ok = UsePropertyPages(library, error); break;
    case DllKind::Uninstaller:
      ok = GetProcAddress(library, "WinMainRmv") != nullptr;
      if (!ok) *error = "WinMainRmv is missing";
      break;
  }
  if (!FreeLibrary(library) && ok) {
    *error = std::string("FreeLibrary of ") + DllFileName(kind) + " failed";
    ok = false;
  }
  return ok;
}

}  // namespace z9soak
