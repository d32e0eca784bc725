#include "stream_control.h"

#include <windows.h>

namespace z9bench {
namespace {

DWORD ReadDword(HKEY key, const char* name, DWORD fallback) {
  DWORD value = 0, type = 0, size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return fallback;
  return value;
}

bool WriteDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
         ERROR_SUCCESS;
}

}  // namespace

bool SetStreamSettings(const StreamSettings& s) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, Z9B_STREAM_KEY, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const bool ok = WriteDword(key, Z9B_STREAM_PREVIEW_PIN, s.previewPin ? 1u : 0u) &&
                  WriteDword(key, Z9B_STREAM_DROPPED_OFFSET, s.droppedOffset) &&
                  WriteDword(key, Z9B_STREAM_DROP_EVERY, s.dropEvery) &&
                  WriteDword(key, Z9B_STREAM_FORMAT, s.format) && WriteDword(key, Z9B_STREAM_FAULTS, s.faults);
  RegCloseKey(key);
  return ok;
}

StreamSettings GetStreamSettings() {
  StreamSettings s;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, Z9B_STREAM_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return s;
  s.previewPin = ReadDword(key, Z9B_STREAM_PREVIEW_PIN, 1) != 0;
  s.droppedOffset = ReadDword(key, Z9B_STREAM_DROPPED_OFFSET, 0);
  s.dropEvery = ReadDword(key, Z9B_STREAM_DROP_EVERY, 0);
  s.format = ReadDword(key, Z9B_STREAM_FORMAT, 0);
  s.faults = ReadDword(key, Z9B_STREAM_FAULTS, 0);
  RegCloseKey(key);
  return s;
}

bool ResetStreamSettings() {
  const LONG rc = RegDeleteKeyA(HKEY_CURRENT_USER, Z9B_STREAM_KEY);
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

}  // namespace z9bench
