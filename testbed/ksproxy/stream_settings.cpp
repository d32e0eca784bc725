#include "stream_settings.h"

#include "bench_stream.h"
#include "win_handles.h"

namespace z9proxy {

DWORD StreamSetting(const char* name, DWORD fallback) {
  z9::UniqueHKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, Z9B_STREAM_KEY, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return fallback;
  DWORD value = 0, type = 0, size = sizeof value;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return fallback;
  return value;
}

}  // namespace z9proxy
