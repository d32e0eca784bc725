// What the uninstaller's end-to-end tests share: the camera software laid out
// in the bench prefix as an installation leaves it (camctl install-product)
// before every test, Z9100Rmv.dll run through rundll32 as the system runs it,
// and the prefix put back afterwards (the product's leftovers removed, the
// bench installed again with camctl setup), so that no test depends on
// another's order.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench_client.h"
#include "bench_setup.h"
#include "product_layout.h"
#include "wintest.h"

namespace rmvtest {

constexpr char kMediaSetsPages[] =
    "SYSTEM\\CurrentControlSet\\Control\\MediaSets\\{8C38BFCC-8D4D-4A5A-885B-270A9B4B6003}";
constexpr char kRemovalLog[] = "C:\\bench\\Z9100Remov.log";
constexpr char kIni[] = "StillMnt.ini";
constexpr char kMonitorClass[] = "Z9100MntWndClass";
constexpr char kMonitorTitle[] = "Z9100Mnt";

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Processes of the prefix whose program is `exeName` (e.g. "cmd.exe").
std::vector<DWORD> ProcessesNamed(const char* exeName);
void EndProcess(DWORD id);

class UninstallTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs "rundll32.exe <WINDIR>\System\Z9100Rmv.dll,WinMainRmv[ <words>]" and
  // waits for it; false on time-out. `elapsedMs` gets the run's duration.
  bool RunUninstaller(const std::string& words, DWORD timeoutMs = 60000, DWORD* exitCode = nullptr,
                      DWORD* elapsedMs = nullptr);
  // Starts it without waiting.
  bool StartUninstaller(const std::string& words, wintest::Process* process);

  // A device node registered without a driver: instance id, hardware ids.
  void RegisterBareDevice(const char* instanceId, const std::vector<std::string>& hardwareIds);
  // Replaces the hardware ids of an existing device (the camera's are put
  // back in TearDown when the camera is still there).
  void SetHardwareIds(const char* instanceId, const std::vector<std::string>& hardwareIds);
  // The "Driver" value of a device's Enum key (points to a class key).
  void SetDriverKeyName(const char* instanceId, const std::string& driverKey);

  // Makes the prefix report another Windows version ("vista", "win98") to
  // rundll32 alone (removed in TearDown).
  void ReportVersionToRundll32(const char* version);

  z9bench::ProductPaths paths;
  std::string cameraInf;  // "InfPath" of the camera's driver key
  std::string otherInf;   // of the other maker's device
  std::vector<std::string> bareDevices;
  std::vector<std::string> extraKeys;  // HKLM keys a test made, deleted in TearDown
  bool cameraIdsChanged = false;
};

}  // namespace rmvtest
