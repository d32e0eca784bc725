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
// Unregisters it; a library that is not registered counts as done.
HRESULT UnregisterTypeLibrary();

// Every class in table order, then the type library.
HRESULT RegisterServer(const wchar_t* modulePath);
HRESULT UnregisterServer();

}  // namespace z9
