// Self-registration of the page classes and the type library under
// HKEY_CLASSES_ROOT:
//   <ProgID>.1   = "<Class> Class", CLSID = {clsid}
//   <ProgID>     = "<Class> Class", CLSID = {clsid}, CurVer = <ProgID>.1
//   CLSID\{clsid} = "<Class> Class" (replaced whole), with the empty key
//     Programmable and InprocServer32 = <library path>, ThreadingModel = "Apartment"
// The shared key "CLSID" itself is never removed.
#pragma once
#include <windows.h>

#include "class_table.h"

namespace z9 {

// "{7EBBB1AF-C455-4F97-B5E7-9D4E5B983000}" (38 characters and the zero).
void ClsidText(REFCLSID clsid, char (&out)[39]);

// Writes (or removes) one class's keys; the first failure is returned.
HRESULT RegisterClassKeys(const ClassEntry& entry, const wchar_t* modulePath);
HRESULT UnregisterClassKeys(const ClassEntry& entry);

// The type library embedded in `modulePath` (resource "TYPELIB" 1).
HRESULT RegisterTypeLibrary(const wchar_t* modulePath);
// Unregisters it under the locale and platform it was registered with (those
// of the library in `modulePath`; this process's platform when it is nullptr
// or unreadable). A library not registered there counts as done; another
// platform's registration of it stays.
HRESULT UnregisterTypeLibrary(const wchar_t* modulePath);

// Every class in table order, then the type library.
HRESULT RegisterServer(const wchar_t* modulePath);
HRESULT UnregisterServer(const wchar_t* modulePath);

}  // namespace z9
