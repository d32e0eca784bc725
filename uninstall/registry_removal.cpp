#include "registry_removal.h"

#include <cstring>

#include "device_match.h"
#include "paths.h"
#include "win_handles.h"

namespace z9rmv {

namespace {

using DeleteKeyInViewFn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);

DeleteKeyInViewFn FindDeleteKeyInView() {
  HMODULE advapi = GetModuleHandleA("advapi32");
  if (advapi == nullptr) return nullptr;
  return reinterpret_cast<DeleteKeyInViewFn>(GetProcAddress(advapi, "RegDeleteKeyExA"));
}

// Subkeys deeper than this are not followed (a registry path has at most
// 512 levels; the entries deleted here have two or three).
constexpr int kDeepestTree = 32;

// Deletes every subkey of `parent`\`name`, then the key itself.
LONG DeleteTree(HKEY parent, const char* name, DWORD viewFlag, DeleteKeyInViewFn deleteInView, int depth) {
  {
    z9::UniqueHKey key;
    const LONG rc = RegOpenKeyExA(parent, name, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | viewFlag, key.put());
    if (rc != ERROR_SUCCESS) return rc;
    if (depth < kDeepestTree) {
      // Always the first subkey: each one found is deleted before the next
      // is asked for; one that cannot be deleted ends the walk.
      for (;;) {
        char child[256];  // registry key names are at most 255 characters
        DWORD size = sizeof child;
        if (RegEnumKeyExA(key.get(), 0, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        child[sizeof child - 1] = '\0';
        if (DeleteTree(key.get(), child, viewFlag, deleteInView, depth + 1) != ERROR_SUCCESS) break;
      }
    }
  }
  if (KeyDeletionFor(viewFlag, deleteInView != nullptr) == KeyDeletion::InView)
    return deleteInView(parent, name, viewFlag, 0);
  return RegDeleteKeyA(parent, name);
}

}  // namespace

KeyDeletion KeyDeletionFor(DWORD viewFlag, bool haveDeleteInView) {
  return (viewFlag & (KEY_WOW64_64KEY | KEY_WOW64_32KEY)) != 0 && haveDeleteInView ? KeyDeletion::InView
                                                                                   : KeyDeletion::Plain;
}

bool DeleteKeyTreeInView(const char* parent, const char* name, DWORD viewFlag) {
  if (name == nullptr || name[0] == '\0') return false;  // never the parent itself
  z9::UniqueHKey parentKey;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | viewFlag,
                    parentKey.put()) != ERROR_SUCCESS)
    return false;
  return DeleteTree(parentKey.get(), name, viewFlag, FindDeleteKeyInView(), 0) == ERROR_SUCCESS;
}

bool DeleteValueInView(const char* keyPath, const char* name, DWORD viewFlag) {
  z9::UniqueHKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_SET_VALUE | viewFlag, key.put()) != ERROR_SUCCESS)
    return false;
  return RegDeleteValueA(key.get(), name) == ERROR_SUCCESS;
}

bool DeleteKeyIfEmpty(const char* parent, const char* name, DWORD viewFlag) {
  if (name == nullptr || name[0] == '\0') return false;
  {
    char path[kPathSize];
    if (parent == nullptr || !JoinPath(path, sizeof path, parent, name)) return false;
    z9::UniqueHKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE | viewFlag, key.put()) != ERROR_SUCCESS)
      return false;
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS ||
        subkeys != 0 || values != 0)
      return false;
  }
  return DeleteKeyTreeInView(parent, name, viewFlag);
}

bool NamesCameraApplication(const char* path) {
  if (path == nullptr) return false;
  size_t end = std::strlen(path);
  while (end > 0 && (path[end - 1] == ' ' || path[end - 1] == '"')) --end;
  size_t start = end;
  while (start > 0 && path[start - 1] != '\\' && path[start - 1] != '/' && path[start - 1] != '"' &&
         path[start - 1] != ':')
    --start;
  if (end - start != std::strlen(kCameraApplication)) return false;
  for (size_t i = 0; i < end - start; ++i) {
    char c = path[start + i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    char w = kCameraApplication[i];
    if (w >= 'a' && w <= 'z') w = static_cast<char>(w - 'a' + 'A');
    if (c != w) return false;
  }
  return true;
}

void DeletePropertyPageRegistration(UninstallContext* ctx) {
  z9::UniqueHKey mediaSets;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMediaSetsKey, 0, KEY_READ | ctx->registryViewFlag, mediaSets.put()) !=
      ERROR_SUCCESS)
    return;
  for (DWORD index = 0;; ++index) {
    char name[256];  // registry key names are at most 255 characters
    DWORD size = sizeof name;
    const LONG rc = RegEnumKeyExA(mediaSets.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return;
    name[sizeof name - 1] = '\0';
    if (!ContainsIgnoringCase(name, kPageRegistrationName)) continue;
    const bool deleted = DeleteKeyTreeInView(kMediaSetsKey, name, ctx->registryViewFlag);
    ctx->debugList.Line(deleted ? "Delete property page key >>success" : "Delete property page key >>fail");
    return;
  }
}

void DeleteAddRemoveEntry(const UninstallContext& ctx) {
  DeleteKeyTreeInView(kUninstallListKey, kAddRemoveName, ctx.registryViewFlag);
}

void DeleteStartupAndSettings(const UninstallContext& ctx) {
  DeleteValueInView(kRunKey, kRunValue, ctx.registryViewFlag);
  DeleteKeyTreeInView(kSettingsParentKey, kSettingsName, ctx.registryViewFlag);
  DeleteKeyIfEmpty(kSoftwareKey, kMakerName, ctx.registryViewFlag);
}

bool DeleteCameraApplicationPath() {
  char path[MAX_PATH * 2 + 2] = {};
  {
    char keyPath[kPathSize];
    z9::UniqueHKey key;
    if (!JoinPath(keyPath, sizeof keyPath, kAppPathsKey, kAppPathsName) ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    DWORD size = sizeof path - 2;  // room for the terminator a stored text may lack
    if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
      return false;
    path[size < sizeof path - 1 ? size : sizeof path - 1] = '\0';
  }
  if (!NamesCameraApplication(path)) return false;
  return DeleteKeyTreeInView(kAppPathsKey, kAppPathsName, 0);
}

}  // namespace z9rmv
