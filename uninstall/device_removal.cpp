#include "device_removal.h"

#include <windows.h>
#include <setupapi.h>

#include <cstring>
#include <vector>

#include "device_match.h"
#include "driver_package.h"
#include "paths.h"
#include "win_handles.h"

namespace z9rmv {

namespace {

// Longest hardware-id list read: far beyond any real one, still bounded.
constexpr DWORD kLongestHardwareIds = 32 * 1024;
// How long a driver file still in use after the walk is tried again.
constexpr unsigned kDriverUnloadWaitMs = 2000;

class DeviceList {
 public:
  explicit DeviceList(HDEVINFO h) : h_(h) {}
  ~DeviceList() {
    if (valid()) SetupDiDestroyDeviceInfoList(h_);
  }
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;
  HDEVINFO get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HDEVINFO h_;
};

// The first hardware id of the device, upper-cased, read whole: a list
// longer than the first 260 bytes is read again at its full size rather than
// cut. False when there is none.
bool ReadHardwareId(HDEVINFO set, SP_DEVINFO_DATA* device, std::vector<char>* out) {
  std::vector<char> buffer(260 + 2, '\0');
  DWORD needed = 0;
  BOOL ok = SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr,
                                              reinterpret_cast<BYTE*>(buffer.data()), 260, &needed);
  if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > 260 && needed <= kLongestHardwareIds) {
    buffer.assign(needed + 2, '\0');
    ok = SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr,
                                           reinterpret_cast<BYTE*>(buffer.data()), needed, nullptr);
  }
  if (!ok) return false;
  buffer[buffer.size() - 2] = '\0';  // the stored list need not be terminated
  UpperAscii(buffer.data());
  out->swap(buffer);
  return (*out)[0] != '\0';
}

bool ReadDriverKeyName(HDEVINFO set, SP_DEVINFO_DATA* device, char* out, DWORD size) {
  std::memset(out, 0, size);
  if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_DRIVER, nullptr, reinterpret_cast<BYTE*>(out), size - 1,
                                         nullptr))
    return false;
  out[size - 1] = '\0';
  return out[0] != '\0';
}

// "InfPath" of the driver key; a value that does not fit 255 bytes is not
// taken (a cut name would name another file).
bool ReadInfName(const UninstallContext& ctx, const char* driverKeyName, char (&infName)[kInfNameSize]) {
  std::memset(infName, 0, sizeof infName);
  char keyPath[512];
  if (!JoinPath(keyPath, sizeof keyPath, kImagingClassKey, driverKeyName)) return false;
  z9::UniqueHKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE | ctx.registryViewFlag, key.put()) !=
      ERROR_SUCCESS)
    return false;
  DWORD size = sizeof infName - 1;
  if (RegQueryValueExA(key.get(), "InfPath", nullptr, nullptr, reinterpret_cast<BYTE*>(infName), &size) !=
      ERROR_SUCCESS) {
    infName[0] = '\0';
    return false;
  }
  infName[size < sizeof infName ? size : sizeof infName - 1] = '\0';
  return infName[0] != '\0';
}

// The walk itself; true when a driver file is left for after it.
bool WalkDevices(HDEVINFO set, UninstallContext* ctx, const UninstallTexts& texts, const SystemPaths* paths) {
  bool driverFilePending = false;

  for (DWORD index = 0;; ++index) {
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    if (!SetupDiEnumDeviceInfo(set, index, &device)) break;  // ERROR_NO_MORE_ITEMS at the end
    std::vector<char> hardwareId;
    if (!ReadHardwareId(set, &device, &hardwareId)) continue;
    if (MatchDeviceId(hardwareId.data(), ctx->deviceIds, ctx->deviceCount) < 0) continue;

    char infName[kInfNameSize] = {};
    char driverKey[260];
    if (ReadDriverKeyName(set, &device, driverKey, sizeof driverKey) && IsImagingDriverKey(driverKey))
      ReadInfName(*ctx, driverKey, infName);
    const bool oemInf = IsOemInfName(infName);

    if (oemInf && !DeleteDriverFiles(infName, ctx, texts)) {
      // Not shown: the INF is gone when an earlier function of the same
      // camera removed the package it shared, and the uninstall goes on.
      ctx->debugList.Line("%s%s", texts.msgString1, infName);
    }
    if (SetupDiRemoveDevice(set, &device))
      ctx->debugList.Line("Remove succesll");
    else
      ctx->debugList.Line("Remove fail!!");
    if (oemInf && paths != nullptr && UninstallDriverPackage(infName, ctx, *paths)) driverFilePending = true;
  }
  return driverFilePending;
}

}  // namespace

bool RemoveCameraDevices(UninstallContext* ctx, const UninstallTexts& texts) {
  SystemPaths paths = {};
  const bool havePaths = DeriveSystemPaths(ctx->windowsDir, &paths);
  bool driverFilePending = false;
  {
    DeviceList set(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
    if (!set.valid()) {
      MessageBoxA(nullptr, "Get Device Information Fail 1!!", "", MB_OK);
      return false;
    }
    driverFilePending = WalkDevices(set.get(), ctx, texts, havePaths ? &paths : nullptr);
  }
  // The package was removed while another function of the camera still had
  // the driver loaded; with every function gone the driver unloads and its
  // file can go too.
  if (driverFilePending) DeleteDriverFileWhenFree(paths.driverFile, kDriverUnloadWaitMs);
  return true;
}

}  // namespace z9rmv
