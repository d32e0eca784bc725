#include "settings.h"

#include <cstring>

#include "registry_view.h"

namespace z9 {

bool OpenSettingsKey(REGSAM access, UniqueHKey* key) {
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, access | RegistryViewFlag(), key->put()) ==
         ERROR_SUCCESS;
}

bool QueryDwordValue(HKEY key, const char* name, DWORD* out) {
  BYTE bytes[4] = {};
  DWORD size = sizeof bytes;
  if (RegQueryValueExA(key, name, nullptr, nullptr, bytes, &size) != ERROR_SUCCESS) return false;
  *out = static_cast<DWORD>(bytes[0]) | (static_cast<DWORD>(bytes[1]) << 8) | (static_cast<DWORD>(bytes[2]) << 16) |
         (static_cast<DWORD>(bytes[3]) << 24);
  return true;
}

bool QueryTextValue(HKEY key, const char* name, char* buf, size_t size) {
  if (buf == nullptr || size == 0) return false;
  std::memset(buf, 0, size);
  DWORD got = static_cast<DWORD>(size);
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &got) != ERROR_SUCCESS) {
    buf[0] = '\0';
    return false;
  }
  // The stored bytes need not end in a zero; terminate inside the buffer.
  buf[got < size ? got : size - 1] = '\0';
  return true;
}

int ReadSettingDword(const char* name, DWORD* out) {
  *out = 0;
  return ReadSettingDwordInto(name, out);
}

int ReadSettingDwordInto(const char* name, DWORD* inout) {
  UniqueHKey key;
  if (!OpenSettingsKey(kSettingsRead, &key)) return 0;
  DWORD value = 0;
  if (!QueryDwordValue(key.get(), name, &value)) return 0;
  *inout = value;
  return 1;
}

int WriteSettingDword(const char* name, DWORD value) {
  UniqueHKey key;
  if (!OpenSettingsKey(kSettingsWrite, &key)) return 0;
  return RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
                 ERROR_SUCCESS
             ? 1
             : 0;
}

bool ReadDeviceInstanceName(char (&buf)[kDeviceIdSize], const char* fallback) {
  UniqueHKey key;
  if (OpenSettingsKey(kSettingsRead, &key) && QueryTextValue(key.get(), "DeviceId", buf, sizeof buf)) return true;
  lstrcpynA(buf, fallback, sizeof buf);
  return false;
}

bool ReadCameraAppPath(char (&buf)[kAppPathSize]) {
  std::memset(buf, 0, sizeof buf);
  UniqueHKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCameraAppPathKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return false;
  return QueryTextValue(key.get(), nullptr, buf, sizeof buf) && buf[0] != '\0';
}

int ReadDebugMode() { return static_cast<int>(GetPrivateProfileIntA("Debug", "DebugMode", 0, kStillMntIni)); }

int ReadPollDevice() { return static_cast<int>(GetPrivateProfileIntA("Snapshot", "PollDevice", 1, kStillMntIni)); }

}  // namespace z9
