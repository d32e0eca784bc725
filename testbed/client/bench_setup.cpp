#include "bench_setup.h"

#include <newdev.h>
#include <setupapi.h>

#include <cstring>
#include <vector>

#include "bench_client.h"
#include "bench_stream.h"

namespace z9bench {
namespace {

const GUID kImageClass = {0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};
const GUID kCategoryCapture = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

const char* const kPageClsids[] = {
    "{7EBBB1AF-C455-4F97-B5E7-9D4E5B983000}",
    "{7EBBB1AF-C455-4F97-B5E7-9D4E5B983001}",
    "{7EBBB1AF-C455-4F97-B5E7-9D4E5B983002}",
    "{7EBBB1AF-C455-4F97-B5E7-9D4E5B983003}",
};

class DevInfoList {
 public:
  explicit DevInfoList(HDEVINFO h) : h_(h) {}
  ~DevInfoList() {
    if (h_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(h_);
  }
  DevInfoList(const DevInfoList&) = delete;
  DevInfoList& operator=(const DevInfoList&) = delete;
  HDEVINFO get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HDEVINFO h_;
};

class Key {
 public:
  Key() = default;
  ~Key() {
    if (k_) RegCloseKey(k_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* put() { return &k_; }
  HKEY get() const { return k_; }

 private:
  HKEY k_ = nullptr;
};

bool Fail(std::string* error, const std::string& what, DWORD code) {
  if (error) *error = what + " failed (error " + std::to_string(code) + ")";
  return false;
}

bool CreateKey(HKEY root, const std::string& path, Key* key, std::string* error) {
  LONG rc = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, key->put(), nullptr);
  if (rc != ERROR_SUCCESS) return Fail(error, "creating key " + path, static_cast<DWORD>(rc));
  return true;
}

bool SetString(HKEY key, const char* name, const char* value, std::string* error) {
  LONG rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(std::strlen(value) + 1));
  if (rc != ERROR_SUCCESS) return Fail(error, std::string("writing value ") + (name ? name : "(default)"), rc);
  return true;
}

bool OpenDevice(const char* instanceId, HDEVINFO set, SP_DEVINFO_DATA* data) {
  data->cbSize = sizeof *data;
  return SetupDiOpenDeviceInfoA(set, instanceId, nullptr, 0, data) != FALSE;
}

}  // namespace

bool InstallDevice(const char* instanceId, const char* hardwareId, const char* infPath, std::string* error) {
  DevInfoList set(SetupDiCreateDeviceInfoList(&kImageClass, nullptr));
  if (!set.valid()) return Fail(error, "SetupDiCreateDeviceInfoList", GetLastError());
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  if (SetupDiCreateDeviceInfoA(set.get(), instanceId, &kImageClass, nullptr, nullptr, 0, &data)) {
    // REG_MULTI_SZ: the id, then an empty string.
    std::vector<char> ids(hardwareId, hardwareId + std::strlen(hardwareId) + 1);
    ids.push_back(0);
    if (!SetupDiSetDeviceRegistryPropertyA(set.get(), &data, SPDRP_HARDWAREID, reinterpret_cast<BYTE*>(ids.data()),
                                           static_cast<DWORD>(ids.size())))
      return Fail(error, "setting the hardware id", GetLastError());
    if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set.get(), &data))
      return Fail(error, "DIF_REGISTERDEVICE", GetLastError());
  } else if (GetLastError() != ERROR_DEVINST_ALREADY_EXISTS) {
    return Fail(error, std::string("SetupDiCreateDeviceInfo ") + instanceId, GetLastError());
  }
  BOOL reboot = FALSE;
  if (!UpdateDriverForPlugAndPlayDevicesA(nullptr, hardwareId, infPath, INSTALLFLAG_FORCE, &reboot))
    return Fail(error, std::string("UpdateDriverForPlugAndPlayDevices ") + infPath, GetLastError());
  return true;
}

bool RemoveDevice(const char* instanceId, std::string* error) {
  DevInfoList set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
  if (!set.valid()) return Fail(error, "SetupDiCreateDeviceInfoList", GetLastError());
  SP_DEVINFO_DATA data{};
  if (!OpenDevice(instanceId, set.get(), &data)) return Fail(error, std::string("opening ") + instanceId, GetLastError());
  if (!SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &data)) return Fail(error, "DIF_REMOVE", GetLastError());
  return true;
}

bool DeviceExists(const char* instanceId) {
  DevInfoList set(SetupDiCreateDeviceInfoList(nullptr, nullptr));
  SP_DEVINFO_DATA data{};
  return set.valid() && OpenDevice(instanceId, set.get(), &data);
}

bool FindCaptureInterface(const char* instanceId, std::string* path) {
  DevInfoList set(SetupDiGetClassDevsA(&kCategoryCapture, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!set.valid()) return false;
  for (DWORD i = 0;; ++i) {
    SP_DEVINFO_DATA dev{};
    dev.cbSize = sizeof dev;
    if (!SetupDiEnumDeviceInfo(set.get(), i, &dev)) return false;
    char id[256] = {};  // device instance ids are at most 200 characters
    if (!SetupDiGetDeviceInstanceIdA(set.get(), &dev, id, sizeof id, nullptr)) continue;
    if (lstrcmpiA(id, instanceId) != 0) continue;
    SP_DEVICE_INTERFACE_DATA itf{};
    itf.cbSize = sizeof itf;
    if (!SetupDiEnumDeviceInterfaces(set.get(), &dev, &kCategoryCapture, 0, &itf)) continue;
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailA(set.get(), &itf, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
    std::vector<char> block(needed);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set.get(), &itf, detail, needed, nullptr, nullptr)) continue;
    if (path) *path = detail->DevicePath;
    return true;
  }
}

bool WaitForCaptureInterface(const char* instanceId, bool present, DWORD timeoutMs, std::string* path) {
  const DWORD start = GetTickCount();
  for (;;) {
    std::string p;
    if (FindCaptureInterface(instanceId, &p) == present) {
      if (path) *path = p;
      return true;
    }
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
}

bool RegisterProxyClass(const char* modulePath, std::string* error) {
  Key cls, server;
  if (!CreateKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kProxyClsid, &cls, error)) return false;
  if (!SetString(cls.get(), nullptr, "Bench kernel-streaming proxy", error)) return false;
  if (!CreateKey(cls.get(), "InprocServer32", &server, error)) return false;
  if (!SetString(server.get(), nullptr, modulePath, error) || !SetString(server.get(), "ThreadingModel", "Both", error))
    return false;
  // The same module serves the bench's format page of the video pins.
  Key page, pageServer;
  if (!CreateKey(HKEY_CLASSES_ROOT, std::string("CLSID\\") + Z9B_FORMAT_PAGE_CLSID, &page, error)) return false;
  if (!SetString(page.get(), nullptr, "Bench format page", error)) return false;
  if (!CreateKey(page.get(), "InprocServer32", &pageServer, error)) return false;
  return SetString(pageServer.get(), nullptr, modulePath, error) &&
         SetString(pageServer.get(), "ThreadingModel", "Both", error);
}

bool RegisterVideoInput(const char* keyName, const char* friendlyName, const char* clsid, const char* devicePath,
                        std::string* error) {
  Key key;
  if (!CreateKey(HKEY_CLASSES_ROOT, std::string(kVideoInputInstanceKey) + "\\" + keyName, &key, error)) return false;
  if (!SetString(key.get(), "FriendlyName", friendlyName, error)) return false;
  if (!SetString(key.get(), "CLSID", clsid, error)) return false;
  if (devicePath && *devicePath) return SetString(key.get(), "DevicePath", devicePath, error);
  RegDeleteValueA(key.get(), "DevicePath");
  return true;
}

bool UnregisterVideoInput(const char* keyName) {
  Key parent;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kVideoInputInstanceKey, 0, KEY_WRITE, parent.put()) != ERROR_SUCCESS)
    return false;
  return RegDeleteKeyA(parent.get(), keyName) == ERROR_SUCCESS;
}

bool RegisterPropertyPages(std::string* error) {
  const std::string base = std::string(kMediaSetsKey) + "\\" + kControlSetKeyName + "\\PropertyPages";
  for (const char* clsid : kPageClsids) {
    Key page;
    if (!CreateKey(HKEY_LOCAL_MACHINE, base + "\\" + clsid, &page, error)) return false;
  }
  return true;
}

bool RegisterCameraApplication(const char* path, std::string* error) {
  Key key;
  if (!CreateKey(HKEY_LOCAL_MACHINE, kAppPathsYouCam, &key, error)) return false;
  return SetString(key.get(), nullptr, path, error);
}

bool SetDllOverride(const char* dll, const char* mode, std::string* error) {
  Key key;
  if (!CreateKey(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", &key, error)) return false;
  return SetString(key.get(), dll, mode, error);
}

}  // namespace z9bench
