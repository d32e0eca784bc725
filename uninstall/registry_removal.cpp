#include "registry_removal.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>

#include "paths.h"
#include "win_handles.h"

namespace z9rmv {

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
    if (std::strstr(name, kPageRegistrationName) == nullptr) continue;
    char path[sizeof kMediaSetsKey + sizeof name + 1];
    const bool deleted =
        JoinPath(path, sizeof path, kMediaSetsKey, name) && SHDeleteKeyA(HKEY_LOCAL_MACHINE, path) == ERROR_SUCCESS;
    ctx->debugList.Line(deleted ? "Delete property page key >>success" : "Delete property page key >>fail");
    return;
  }
}

void DeleteAddRemoveEntry() { SHDeleteKeyA(HKEY_LOCAL_MACHINE, kAddRemoveKey); }

void DeleteStartupAndSettings() {
  SHDeleteValueA(HKEY_LOCAL_MACHINE, kRunKey, kRunValue);
  SHDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallSettingsKey);
}

}  // namespace z9rmv
