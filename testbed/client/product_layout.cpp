#include "product_layout.h"

#include <setupapi.h>
#include <shlobj.h>

#include <vector>

#include "bench_client.h"
#include "bench_setup.h"

namespace z9bench {
namespace {

bool Fail(std::string* error, const std::string& what, DWORD code) {
  if (error) *error = what + " failed (error " + std::to_string(code) + ")";
  return false;
}

bool SetString(HKEY root, const char* path, const char* name, const std::string& value, std::string* error) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return Fail(error, std::string("creating ") + path, static_cast<DWORD>(rc));
  rc = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                      static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return Fail(error, std::string("writing ") + path + "\\" + (name ? name : ""), rc);
  return true;
}

bool WriteText(const std::string& path, const std::string& text, std::string* error) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return Fail(error, "creating " + path, GetLastError());
  DWORD written = 0;
  const BOOL ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
  if (!ok || written != text.size()) return Fail(error, "writing " + path, GetLastError());
  return true;
}

bool Copy(const std::string& from, const std::string& to, std::string* error) {
  if (CopyFileA(from.c_str(), to.c_str(), FALSE)) return true;
  return Fail(error, "copying " + from + " to " + to, GetLastError());
}

void DeleteTree(HKEY root, const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ | KEY_WRITE, &key) == ERROR_SUCCESS) {
    for (;;) {
      char name[256];
      DWORD size = sizeof name;
      if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      const std::string child = std::string(path) + "\\" + name;
      DeleteTree(root, child.c_str());
    }
    RegCloseKey(key);
  }
  RegDeleteKeyA(root, path);
}

// Calls DllRegisterServer or DllUnregisterServer of a COM server file.
bool CallServer(const std::string& path, const char* entry) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) return false;
  using ServerFn = HRESULT(STDAPICALLTYPE*)();
  const auto fn = reinterpret_cast<ServerFn>(GetProcAddress(module, entry));
  const bool ok = fn && SUCCEEDED(fn());
  FreeLibrary(module);
  return ok;
}

}  // namespace

ProductPaths GetProductPaths() {
  ProductPaths p;
  char dir[MAX_PATH] = {};
  GetWindowsDirectoryA(dir, MAX_PATH);
  p.windowsDir = dir;
  GetSystemDirectoryA(dir, MAX_PATH);
  p.systemDir = dir;
  p.oldSystemDir = p.windowsDir + "\\System";
  p.programDir = p.windowsDir + "\\RidEva\\Z9100";
  p.twainDir = p.windowsDir + "\\TWAIN_32\\Z9100";
  p.uninstaller = p.oldSystemDir + "\\Z9100Rmv.dll";
  p.launcher = p.oldSystemDir + "\\Z9100LAp.exe";
  p.pageServer = p.oldSystemDir + "\\Z9100Dex.dll";
  p.monitor = p.programDir + "\\Z9100Mnt.exe";
  p.batch = p.oldSystemDir + "\\DeMySelf.Bat";
  p.driverFile = p.windowsDir + "\\system32\\drivers\\Z9100KNT.sys";
  p.removalProgram = p.windowsDir + "\\system\\Z9100Remov.exe";
  p.otherFile = p.windowsDir + "\\system32\\drivers\\" + kOtherFileName;
  char programs[MAX_PATH] = {};
  if (SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, TRUE)) p.shortcut = std::string(programs) + "\\" + kShortcutName;
  return p;
}

bool InstallProductLayout(const char* binDir, std::string* error) {
  const ProductPaths p = GetProductPaths();
  const std::string bin = binDir;
  CreateDirectoryA(p.oldSystemDir.c_str(), nullptr);
  CreateDirectoryA((p.windowsDir + "\\RidEva").c_str(), nullptr);
  CreateDirectoryA(p.programDir.c_str(), nullptr);
  CreateDirectoryA((p.windowsDir + "\\TWAIN_32").c_str(), nullptr);
  CreateDirectoryA(p.twainDir.c_str(), nullptr);
  if (!Copy(bin + "\\Z9100Rmv.dll", p.uninstaller, error) || !Copy(bin + "\\youcam.exe", p.launcher, error) ||
      !Copy(bin + "\\Z9100Mnt.exe", p.monitor, error) || !Copy(bin + "\\Z9100Dex.dll", p.pageServer, error))
    return false;
  if (!CallServer(p.pageServer, "DllRegisterServer")) return Fail(error, "registering " + p.pageServer, GetLastError());
  if (p.shortcut.empty()) return Fail(error, "finding the Programs folder", GetLastError());
  if (!WriteText(p.shortcut, "bench shortcut\r\n", error)) return false;

  if (!SetString(HKEY_LOCAL_MACHINE, kProductSettingsKey, "DeviceId", kProductDeviceId, error) ||
      !SetString(HKEY_LOCAL_MACHINE, kRunKey, kRunValueName, p.monitor, error) ||
      !SetString(HKEY_LOCAL_MACHINE, kAppPathsYouCam, nullptr, p.launcher, error) ||
      !SetString(HKEY_LOCAL_MACHINE, kAddRemoveKey, "DisplayName", "Opticam Q7710C USB Camera", error) ||
      !SetString(HKEY_LOCAL_MACHINE, kAddRemoveKey, "UninstallString",
                 "rundll32.exe " + p.uninstaller + ",WinMainRmv", error))
    return false;

  // The other maker's package: its INF and its one file, staged apart.
  CreateDirectoryA("C:\\bench", nullptr);
  CreateDirectoryA("C:\\bench\\other", nullptr);
  if (!Copy(bin + "\\z9other.inf", kOtherInfStaged, error) ||
      !WriteText(std::string("C:\\bench\\other\\") + kOtherFileName, "bench: another maker's file\r\n", error))
    return false;
  const std::string cameraInf = "C:\\bench\\driver\\oem0.inf";
  if (!InstallDevice(kSecondInstanceId, kSecondHardwareId, cameraInf.c_str(), error)) return false;
  return InstallDevice(kForeignInstanceId, kForeignHardwareId, kOtherInfStaged, error);
}

void RemoveProductLayout() {
  const ProductPaths p = GetProductPaths();
  std::string error;
  RemoveDevice(kSecondInstanceId, &error);
  RemoveDevice(kForeignInstanceId, &error);
  if (GetFileAttributesA(p.pageServer.c_str()) != INVALID_FILE_ATTRIBUTES) CallServer(p.pageServer, "DllUnregisterServer");
  DeleteTree(HKEY_LOCAL_MACHINE, kProductSettingsKey);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\RidEva");  // only when no other subkey is left
  DeleteTree(HKEY_LOCAL_MACHINE, kAddRemoveKey);
  HKEY run = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_WRITE, &run) == ERROR_SUCCESS) {
    RegDeleteValueA(run, kRunValueName);
    RegCloseKey(run);
  }
  for (const std::string& f : {p.uninstaller, p.launcher, p.pageServer, p.monitor, p.batch, p.shortcut, p.otherFile})
    if (!f.empty()) DeleteFileA(f.c_str());
  RemoveDirectoryA(p.programDir.c_str());
  RemoveDirectoryA((p.windowsDir + "\\RidEva").c_str());
  RemoveDirectoryA(p.twainDir.c_str());
}

std::string DeviceInfName(const char* instanceId) {
  HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
  if (set == INVALID_HANDLE_VALUE) return "";
  std::string result;
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  char driver[256] = {};
  if (SetupDiOpenDeviceInfoA(set, instanceId, nullptr, 0, &data) &&
      SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_DRIVER, nullptr, reinterpret_cast<BYTE*>(driver),
                                        sizeof driver - 1, nullptr)) {
    HKEY key = nullptr;
    const std::string path = std::string("SYSTEM\\CurrentControlSet\\Control\\Class\\") + driver;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
      char inf[512] = {};
      DWORD size = sizeof inf - 1;
      if (RegQueryValueExA(key, "InfPath", nullptr, nullptr, reinterpret_cast<BYTE*>(inf), &size) == ERROR_SUCCESS)
        result = inf;
      RegCloseKey(key);
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return result;
}

}  // namespace z9bench
