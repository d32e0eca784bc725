// What an installation of the camera software would have left in a prefix,
// for the uninstaller's tests: the settings key with its device ids, the
// start-up value, the Add/Remove Programs entry, the program shortcut, the
// program files, the property pages' COM server registered, the camera
// application's App Paths entry, the second camera function and another maker's device with
// a driver package of its own. The camera itself, its driver package and the
// property-page registration come from `camctl setup`.
#pragma once
#include <windows.h>

#include <string>

namespace z9bench {

inline constexpr char kProductSettingsKey[] = "SOFTWARE\\RidEva\\Z9100";
inline constexpr char kProductDeviceId[] = "VID_FFF1&PID_A14C";
inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValueName[] = "Z9100Mnt";
inline constexpr char kAddRemoveKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{FC9B811E-39BC-4813-9E29-B83CCF700010}";
inline constexpr char kShortcutName[] = "Y4200LAp.lnk";
inline constexpr char kOtherInfStaged[] = "C:\\bench\\other\\oem1.inf";  // staged under an OEM copy's name
inline constexpr char kOtherFileName[] = "Z9Other.dat";

// Paths in this prefix.
struct ProductPaths {
  std::string windowsDir;
  std::string systemDir;        // <WINDIR>\system32
  std::string oldSystemDir;     // <WINDIR>\System: Z9100Rmv.dll, Z9100LAp.exe, DeMySelf.Bat
  std::string programDir;       // <WINDIR>\RidEva\Z9100: Z9100Mnt.exe
  std::string twainDir;         // <WINDIR>\TWAIN_32\Z9100
  std::string uninstaller;      // <WINDIR>\System\Z9100Rmv.dll
  std::string launcher;         // <WINDIR>\System\Z9100LAp.exe
  std::string pageServer;       // <WINDIR>\System\Z9100Dex.dll
  std::string monitor;          // <WINDIR>\RidEva\Z9100\Z9100Mnt.exe
  std::string batch;            // <WINDIR>\System\DeMySelf.Bat
  std::string driverFile;       // <WINDIR>\system32\drivers\Z9100KNT.sys
  std::string removalProgram;   // <WINDIR>\system\Z9100Remov.exe
  std::string otherFile;        // <WINDIR>\system32\drivers\Z9Other.dat
  std::string shortcut;         // <Programs>\Y4200LAp.lnk
};
ProductPaths GetProductPaths();

// Installs everything listed above from the built files in `binDir`
// (Z9100Rmv.dll, Z9100Mnt.exe, Z9100Dex.dll, youcam.exe as the launcher,
// z9other.inf). App Paths "YouCam" then names the launcher.
bool InstallProductLayout(const char* binDir, std::string* error);
// Removes what InstallProductLayout added (keys, values, files, folders, the
// second function and the other maker's device, the page server's
// registration); the camera stays, and App Paths "YouCam" is the bench's
// again after `camctl setup`.
void RemoveProductLayout();

// The "InfPath" of a device's driver key ("" when it has none).
std::string DeviceInfName(const char* instanceId);

}  // namespace z9bench
