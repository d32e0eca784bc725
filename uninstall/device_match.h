// Which device nodes belong to the camera, and which INF names are driver
// packages the uninstaller may remove. Pure text rules, no system calls.
#pragma once
#include <cstddef>

#include "uninstall_context.h"

namespace z9rmv {

// Index of the first usable device id (in list order) that the upper-cased
// hardware id contains, or -1 when none does.
int MatchDeviceId(const char* upperHardwareId, const DeviceId* ids, int count);

// Whether `text` contains `upperPart` (upper case) in any letter case.
bool ContainsIgnoringCase(const char* text, const char* upperPart);

// Whether a driver key name belongs to the imaging device class.
bool IsImagingDriverKey(const char* driverKeyName);

// An INF name that names a driver package copy: "OEM" in its upper-cased
// name, and a bare file name (no folder, no drive) so that it can only name a
// file of the system's INF folder.
bool IsOemInfName(const char* infName);

}  // namespace z9rmv
