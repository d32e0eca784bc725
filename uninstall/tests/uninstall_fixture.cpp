#include "uninstall_fixture.h"

#include <setupapi.h>
#include <tlhelp32.h>

#include <cstring>

namespace rmvtest {

namespace {

constexpr char kAppDefaults[] = "Software\\Wine\\AppDefaults\\rundll32.exe";
constexpr char kPendingRenames[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

const GUID kImageClass = {0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};

// Runs camctl from the build folder.
bool Camctl(const std::string& args, DWORD timeoutMs = 90000) {
  DWORD code = 1;
  return wintest::RunProgram("\"" + wintest::ExeDir() + "\\camctl.exe\" " + args, timeoutMs, &code) && code == 0;
}

void EndStrays() {
  // The monitor first, as the uninstaller would, then whatever a run left.
  if (HWND monitor = FindWindowA(kMonitorClass, kMonitorTitle)) {
    PostMessageA(monitor, WM_CLOSE, 0, 0);
    wintest::WaitForNoWindow(kMonitorClass, kMonitorTitle, 5000);
  }
  for (const char* name : {"Z9100Mnt.exe", "rundll32.exe", "cmd.exe", "Z9100Remov.exe"})
    for (DWORD id : ProcessesNamed(name)) EndProcess(id);
}

bool WriteHardwareIds(const char* instanceId, const std::vector<std::string>& hardwareIds) {
  HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
  if (set == INVALID_HANDLE_VALUE) return false;
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  std::vector<char> ids;
  for (const std::string& id : hardwareIds) ids.insert(ids.end(), id.c_str(), id.c_str() + id.size() + 1);
  ids.push_back(0);
  const bool ok = SetupDiOpenDeviceInfoA(set, instanceId, nullptr, 0, &data) &&
                  SetupDiSetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, reinterpret_cast<BYTE*>(ids.data()),
                                                    static_cast<DWORD>(ids.size()));
  SetupDiDestroyDeviceInfoList(set);
  return ok;
}

}  // namespace

bool FileExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<DWORD> ProcessesNamed(const char* exeName) {
  std::vector<DWORD> ids;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e))
    if (lstrcmpiA(e.szExeFile, exeName) == 0 && e.th32ProcessID != GetCurrentProcessId()) ids.push_back(e.th32ProcessID);
  CloseHandle(snap);
  return ids;
}

void EndProcess(DWORD id) {
  HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
  if (!p) return;
  TerminateProcess(p, 1);
  WaitForSingleObject(p, 5000);
  CloseHandle(p);
}

void UninstallTest::SetUp() {
  EndStrays();
  paths = z9bench::GetProductPaths();
  if (!z9bench::DeviceExists(z9bench::kCameraInstanceId)) {
    ASSERT_TRUE(Camctl("setup \"" + wintest::ExeDir() + "\""));
  }
  ASSERT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kCameraInstanceId, true, 15000));
  std::string error;
  ASSERT_TRUE(z9bench::InstallProductLayout(wintest::ExeDir().c_str(), &error)) << error;
  cameraInf = z9bench::DeviceInfName(z9bench::kCameraInstanceId);
  otherInf = z9bench::DeviceInfName(z9bench::kForeignInstanceId);
  ASSERT_FALSE(cameraInf.empty());
  ASSERT_FALSE(otherInf.empty());
  ASSERT_NE(cameraInf, otherInf);
  ASSERT_TRUE(wintest::RegKeyExists(HKEY_LOCAL_MACHINE, kMediaSetsPages));
  wintest::DeleteFileIfAny(wintest::WindowsDir() + "\\" + kIni);
  wintest::DeleteFileIfAny(kRemovalLog);
}

void UninstallTest::TearDown() {
  EndStrays();
  RemoveDirectoryA(paths.batch.c_str());  // a test may block the batch with a folder of its name
  std::string error;
  for (const std::string& id : bareDevices) z9bench::RemoveDevice(id.c_str(), &error);
  if (cameraIdsChanged && z9bench::DeviceExists(z9bench::kCameraInstanceId)) {
    EXPECT_TRUE(WriteHardwareIds(z9bench::kCameraInstanceId, {z9bench::kCameraHardwareId}));
  }
  for (const std::string& key : extraKeys) wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, key);
  z9bench::RemoveProductLayout();
  wintest::RegDeleteKeyTree(HKEY_CURRENT_USER, kAppDefaults);
  // A driver file that was in use is listed for deletion at the next start
  // of the prefix; the bench installs it again.
  wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kPendingRenames, "PendingFileRenameOperations");
  wintest::DeleteFileIfAny(wintest::WindowsDir() + "\\" + kIni);
  wintest::DeleteFileIfAny(kRemovalLog);
  EXPECT_TRUE(Camctl("setup \"" + wintest::ExeDir() + "\"")) << "the bench could not be installed again";
  EXPECT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kCameraInstanceId, true, 15000));
}

bool UninstallTest::StartUninstaller(const std::string& words, wintest::Process* process) {
  std::string command = "rundll32.exe " + paths.uninstaller + ",WinMainRmv";
  if (!words.empty()) command += " " + words;
  return process->Start(command);
}

bool UninstallTest::RunUninstaller(const std::string& words, DWORD timeoutMs, DWORD* exitCode, DWORD* elapsedMs) {
  wintest::Process p;
  const DWORD start = GetTickCount();
  if (!StartUninstaller(words, &p)) return false;
  const bool ended = p.Wait(timeoutMs, exitCode);
  if (elapsedMs) *elapsedMs = GetTickCount() - start;
  return ended;
}

void UninstallTest::SetHardwareIds(const char* instanceId, const std::vector<std::string>& hardwareIds) {
  if (lstrcmpiA(instanceId, z9bench::kCameraInstanceId) == 0) cameraIdsChanged = true;
  ASSERT_TRUE(WriteHardwareIds(instanceId, hardwareIds)) << instanceId << " error " << GetLastError();
}

void UninstallTest::RegisterBareDevice(const char* instanceId, const std::vector<std::string>& hardwareIds) {
  HDEVINFO set = SetupDiCreateDeviceInfoList(&kImageClass, nullptr);
  ASSERT_NE(set, INVALID_HANDLE_VALUE);
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  std::vector<char> ids;
  for (const std::string& id : hardwareIds) ids.insert(ids.end(), id.c_str(), id.c_str() + id.size() + 1);
  ids.push_back(0);
  const bool ok = SetupDiCreateDeviceInfoA(set, instanceId, &kImageClass, nullptr, nullptr, 0, &data) &&
                  SetupDiSetDeviceRegistryPropertyA(set, &data, SPDRP_HARDWAREID, reinterpret_cast<BYTE*>(ids.data()),
                                                    static_cast<DWORD>(ids.size())) &&
                  SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &data);
  const DWORD error = GetLastError();
  SetupDiDestroyDeviceInfoList(set);
  bareDevices.push_back(instanceId);
  ASSERT_TRUE(ok) << instanceId << " error " << error;
}

void UninstallTest::SetDriverKeyName(const char* instanceId, const std::string& driverKey) {
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, std::string("SYSTEM\\CurrentControlSet\\Enum\\") + instanceId,
                                    "Driver", driverKey));
}

void UninstallTest::ReportVersionToRundll32(const char* version) {
  ASSERT_TRUE(wintest::RegSetString(HKEY_CURRENT_USER, kAppDefaults, "Version", version));
}

}  // namespace rmvtest
