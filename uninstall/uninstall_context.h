// The uninstall context: everything one call of WinMainRmv decides at its
// start (registry view, system generation, the camera's device ids, the
// Windows directory, platform, silent flag, debug level and list). One per
// call, on the entry's stack; nothing survives between calls.
#pragma once
#include <windows.h>

#include <cstddef>

#include "debug_list.h"
#include "settings.h"

namespace z9rmv {

constexpr size_t kMaxDeviceIds = 60;
// Bytes of one device-id slot, terminating zero included: as long as the
// monitor's, so that any id the monitor can open the camera by is matched whole.
constexpr size_t kDeviceIdSlot = z9::kDeviceIdSize;

constexpr char kUninstallSettingsKey[] = "SOFTWARE\\RidEva\\Z9100";

enum Platform : int {
  kPlatformUnsupported = -1,
  kPlatformNt = 10,   // platform id 2
  kPlatform9x = 20,   // platform id 1
};

// Platform code for GetVersionEx's platform id.
int PlatformFor(DWORD platformId);

// One "DeviceId" / "DeviceId<n>" value. A value that is present but not text
// (REG_SZ or REG_EXPAND_SZ, taken as stored), empty, or too long for its slot
// is kept as read (it says the camera software is installed) but is never
// used to match a device: the bytes of a number or a binary value are no id
// (a DWORD may spell "USB"), an empty fragment is part of every hardware id,
// and a cut one is shorter than what was stored. A multi-string is a list,
// not one id, and is not taken either.
struct DeviceId {
  char text[kDeviceIdSlot];  // upper case; "" when not usable
  bool usable;
};

struct UninstallContext {
  DWORD registryViewFlag = 0;
  bool beforeVista = true;
  DeviceId deviceIds[kMaxDeviceIds] = {};
  int deviceCount = 0;
  bool devicesKnown = false;
  // MAX_PATH rather than 100 characters: a longer Windows directory would
  // otherwise be cut and every path built on it would point elsewhere.
  char windowsDir[MAX_PATH] = {};
  int platform = kPlatformUnsupported;
  bool silent = false;
  int debug = 0;
  DebugList debugList;
};

// Reads "DeviceId", then "DeviceId1" ... "DeviceId59" from the open key, in
// that order, until the first missing one; each is upper-cased.
void ReadDeviceIds(HKEY key, UninstallContext* ctx);

// Step 1 of WinMainRmv: registry view flag (also set process-wide for the
// settings functions), before-Vista flag, device ids, Windows directory,
// platform.
void BuildContext(UninstallContext* ctx);

// ASCII upper case in place (device and hardware ids are ASCII).
void UpperAscii(char* text);

}  // namespace z9rmv
