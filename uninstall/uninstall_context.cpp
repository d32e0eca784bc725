#include "uninstall_context.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "registry_view.h"
#include "win_handles.h"

namespace z9rmv {

int PlatformFor(DWORD platformId) {
  switch (platformId) {
    case VER_PLATFORM_WIN32_WINDOWS: return kPlatform9x;
    case VER_PLATFORM_WIN32_NT: return kPlatformNt;
    default: return kPlatformUnsupported;
  }
}

void UpperAscii(char* text) {
  for (char* p = text; *p != '\0'; ++p)
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
}

namespace {

// Longest stored value looked at; anything longer cannot be a device id.
constexpr DWORD kLongestStoredId = 4096;

enum class ReadResult { Missing, Read };

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

ReadResult ReadOneId(HKEY key, const char* name, DeviceId* out) {
  out->text[0] = '\0';
  out->usable = false;
  DWORD type = REG_NONE;
  DWORD size = 0;
  const LONG probe = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (probe == ERROR_FILE_NOT_FOUND) return ReadResult::Missing;
  if (probe != ERROR_SUCCESS && probe != ERROR_MORE_DATA) return ReadResult::Missing;
  if (!IsTextType(type)) return ReadResult::Read;           // present, never matched
  if (size > kLongestStoredId) return ReadResult::Read;
  std::vector<char> bytes(size + 1, '\0');
  DWORD got = size;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &got) != ERROR_SUCCESS ||
      !IsTextType(type))
    return ReadResult::Read;
  bytes[got < size ? got : size] = '\0';
  const size_t length = std::strlen(bytes.data());
  if (length == 0 || length >= kDeviceIdSlot) return ReadResult::Read;
  std::memcpy(out->text, bytes.data(), length + 1);
  UpperAscii(out->text);
  out->usable = true;
  return ReadResult::Read;
}

}  // namespace

void ReadDeviceIds(HKEY key, UninstallContext* ctx) {
  ctx->deviceCount = 0;
  for (size_t i = 0; i < kMaxDeviceIds; ++i) {
    char name[16];
    if (i == 0)
      std::snprintf(name, sizeof name, "DeviceId");
    else
      std::snprintf(name, sizeof name, "DeviceId%u", static_cast<unsigned>(i));
    if (ReadOneId(key, name, &ctx->deviceIds[i]) == ReadResult::Missing) break;
    ++ctx->deviceCount;
  }
  ctx->devicesKnown = ctx->deviceCount > 0;
}

void BuildContext(UninstallContext* ctx) {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  const bool haveVersion = GetVersionExA(&version) != FALSE;

  ctx->registryViewFlag = z9::ComputeRegistryViewFlag();
  z9::SetRegistryViewFlag(ctx->registryViewFlag);
  ctx->beforeVista = !haveVersion || version.dwMajorVersion < 6;

  z9::UniqueHKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallSettingsKey, 0, KEY_QUERY_VALUE | ctx->registryViewFlag,
                    key.put()) == ERROR_SUCCESS)
    ReadDeviceIds(key.get(), ctx);

  const UINT n = GetWindowsDirectoryA(ctx->windowsDir, sizeof ctx->windowsDir);
  if (n == 0 || n >= sizeof ctx->windowsDir) ctx->windowsDir[0] = '\0';

  ctx->platform = haveVersion ? PlatformFor(version.dwPlatformId) : kPlatformUnsupported;
}

}  // namespace z9rmv
