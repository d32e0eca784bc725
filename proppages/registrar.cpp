#include "registrar.h"

#include <oleauto.h>

#include <cstdio>
#include <string>

#include "page_clsids.h"
#include "win_handles.h"

namespace z9 {
namespace {

constexpr int kMaxTreeDepth = 32;

HRESULT FromWin32(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

// Creates (or opens) root\path and sets its default value (and one named
// value when given).
LONG WriteKey(HKEY root, const std::string& path, const char* defaultValue, const char* name = nullptr,
              const char* value = nullptr) {
  UniqueHKey key;
  LONG rc = RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.put(),
                            nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  if (defaultValue != nullptr) {
    rc = RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(defaultValue),
                        static_cast<DWORD>(lstrlenA(defaultValue) + 1));
    if (rc != ERROR_SUCCESS) return rc;
  }
  if (name != nullptr && value != nullptr) {
    rc = RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                        static_cast<DWORD>(lstrlenA(value) + 1));
  }
  return rc;
}

// Deletes root\path with everything below it; a missing key is no error.
LONG DeleteTree(HKEY root, const std::string& path, int depth = 0) {
  if (depth > kMaxTreeDepth) return ERROR_BADKEY;
  {
    UniqueHKey key;
    LONG rc = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WRITE, key.put());
    if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
      char name[256];
      DWORD length = sizeof name;
      // Always the first subkey: the list shrinks as they go.
      rc = RegEnumKeyExA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc != ERROR_SUCCESS) return rc;
      rc = DeleteTree(key.get(), name, depth + 1);
      if (rc != ERROR_SUCCESS) return rc;
    }
  }
  const LONG rc = RegDeleteKeyA(root, path.c_str());
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// Deletes the named subkeys of a key of ours, then the key itself when
// nothing else lives under it (a foreign subkey keeps it).
LONG DeleteKeyWithSubkeys(HKEY root, const std::string& path, std::initializer_list<const char*> subkeys) {
  for (const char* sub : subkeys) {
    const LONG rc = DeleteTree(root, path + "\\" + sub);
    if (rc != ERROR_SUCCESS) return rc;
  }
  UniqueHKey key;
  LONG rc = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.put());
  if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return rc;
  DWORD subkeyCount = 0;
  rc = RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeyCount, nullptr, nullptr, nullptr, nullptr,
                        nullptr, nullptr, nullptr);
  key.reset();
  if (rc != ERROR_SUCCESS) return rc;
  if (subkeyCount != 0) return ERROR_SUCCESS;
  rc = RegDeleteKeyA(root, path.c_str());
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// Where a type library files its path: TypeLib\{libid}\<major>.<minor>\<lcid>\<platform>.
struct TypeLibPlace {
  LCID lcid;
  SYSKIND syskind;
};

// RegisterTypeLib files the library under the locale and platform of its own
// attributes; the library built for this process's architecture says win32 or
// win64 as the process is. Without a readable library: this process's platform.
TypeLibPlace PlaceOfLibrary(const wchar_t* modulePath) {
  TypeLibPlace place = {LANG_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32};
  ITypeLib* lib = nullptr;
  if (modulePath == nullptr || FAILED(LoadTypeLibEx(modulePath, REGKIND_NONE, &lib))) return place;
  TLIBATTR* attr = nullptr;
  if (SUCCEEDED(lib->GetLibAttr(&attr)) && attr != nullptr) {
    place.lcid = attr->lcid;
    place.syskind = attr->syskind;
    lib->ReleaseTLibAttr(attr);
  }
  lib->Release();
  return place;
}

const char* PlatformKeyName(SYSKIND syskind) {
  switch (syskind) {
    case SYS_WIN16:
      return "win16";
    case SYS_WIN32:
      return "win32";
    case SYS_MAC:
      return "mac";
    case SYS_WIN64:
      return "win64";
  }
  return nullptr;
}

// Whether the library is registered for `place` (another platform's
// registration of the same version does not count).
bool TypeLibraryRegistered(const TypeLibPlace& place) {
  const char* platform = PlatformKeyName(place.syskind);
  if (platform == nullptr) return false;
  char libid[39];
  ClsidText(LIBID_VIDSETLib, libid);
  char path[128];
  std::snprintf(path, sizeof path, "TypeLib\\%s\\%u.%u\\%lx\\%s", libid, kVidsetLibMajor, kVidsetLibMinor,
                static_cast<unsigned long>(place.lcid), platform);
  UniqueHKey key;
  return RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

}  // namespace

void ClsidText(REFCLSID c, char (&out)[39]) {
  std::snprintf(out, sizeof out, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(c.Data1), c.Data2, c.Data3, c.Data4[0], c.Data4[1], c.Data4[2],
                c.Data4[3], c.Data4[4], c.Data4[5], c.Data4[6], c.Data4[7]);
}

HRESULT RegisterClassKeys(const ClassEntry& entry, const wchar_t* modulePath) {
  if (modulePath == nullptr) return E_POINTER;
  char clsid[39];
  ClsidText(*entry.clsid, clsid);
  const std::string progId = entry.progId;
  const std::string versionless = entry.versionlessProgId;

  LONG rc = WriteKey(HKEY_CLASSES_ROOT, progId, entry.description);
  if (rc == ERROR_SUCCESS) rc = WriteKey(HKEY_CLASSES_ROOT, progId + "\\CLSID", clsid);
  if (rc == ERROR_SUCCESS) rc = WriteKey(HKEY_CLASSES_ROOT, versionless, entry.description);
  if (rc == ERROR_SUCCESS) rc = WriteKey(HKEY_CLASSES_ROOT, versionless + "\\CLSID", clsid);
  if (rc == ERROR_SUCCESS) rc = WriteKey(HKEY_CLASSES_ROOT, versionless + "\\CurVer", entry.progId);
  if (rc != ERROR_SUCCESS) return FromWin32(rc);

  // The class key is replaced whole.
  const std::string classKey = std::string("CLSID\\") + clsid;
  rc = DeleteTree(HKEY_CLASSES_ROOT, classKey);
  if (rc == ERROR_SUCCESS) rc = WriteKey(HKEY_CLASSES_ROOT, classKey, entry.description);
  if (rc == ERROR_SUCCESS) rc = WriteKey(HKEY_CLASSES_ROOT, classKey + "\\Programmable", nullptr);
  if (rc != ERROR_SUCCESS) return FromWin32(rc);

  // InprocServer32 in the ANSI form, which every system has; the path is one
  // the ANSI code page holds (the library's own name was read that way).
  char path[MAX_PATH * 2];
  if (WideCharToMultiByte(CP_ACP, 0, modulePath, -1, path, sizeof path, nullptr, nullptr) <= 0)
    return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
  rc = WriteKey(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", path, "ThreadingModel", "Apartment");
  return FromWin32(rc);
}

HRESULT UnregisterClassKeys(const ClassEntry& entry) {
  char clsid[39];
  ClsidText(*entry.clsid, clsid);
  LONG rc = DeleteKeyWithSubkeys(HKEY_CLASSES_ROOT, entry.progId, {"CLSID"});
  if (rc == ERROR_SUCCESS) rc = DeleteKeyWithSubkeys(HKEY_CLASSES_ROOT, entry.versionlessProgId, {"CLSID", "CurVer"});
  if (rc == ERROR_SUCCESS) rc = DeleteTree(HKEY_CLASSES_ROOT, std::string("CLSID\\") + clsid);
  return FromWin32(rc);
}

HRESULT RegisterTypeLibrary(const wchar_t* modulePath) {
  if (modulePath == nullptr) return E_POINTER;
  ITypeLib* lib = nullptr;
  HRESULT hr = LoadTypeLibEx(modulePath, REGKIND_NONE, &lib);
  if (FAILED(hr)) return hr;
  hr = RegisterTypeLib(lib, const_cast<LPOLESTR>(modulePath), nullptr);
  lib->Release();
  return hr;
}

HRESULT UnregisterTypeLibrary(const wchar_t* modulePath) {
  // Unregistering under another platform than the registration's fails
  // (E_INVALIDARG) and leaves the key.
  const TypeLibPlace place = PlaceOfLibrary(modulePath);
  if (!TypeLibraryRegistered(place)) return S_OK;
  return UnRegisterTypeLib(LIBID_VIDSETLib, kVidsetLibMajor, kVidsetLibMinor, place.lcid, place.syskind);
}

HRESULT RegisterServer(const wchar_t* modulePath) {
  for (size_t i = 0; i < ClassTableSize(); ++i) {
    const HRESULT hr = RegisterClassKeys(ClassTable()[i], modulePath);
    if (FAILED(hr)) return hr;
  }
  return RegisterTypeLibrary(modulePath);
}

HRESULT UnregisterServer(const wchar_t* modulePath) {
  for (size_t i = 0; i < ClassTableSize(); ++i) {
    const HRESULT hr = UnregisterClassKeys(ClassTable()[i]);
    if (FAILED(hr)) return hr;
  }
  return UnregisterTypeLibrary(modulePath);
}

}  // namespace z9
