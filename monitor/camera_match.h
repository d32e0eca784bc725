// Which device instance ids and interface paths belong to the camera.
#pragma once

namespace z9mnt {

constexpr char kExcludedFunction[] = "MI_01";

// True when `text` contains `part`, ASCII letters compared without regard to
// case. An empty `part` is contained in everything.
bool ContainsNoCase(const char* text, const char* part);

// The camera's rule for a device instance id or an interface path: it holds
// the device instance name and is not the composite device's second function.
bool IsCameraName(const char* idOrPath, const char* devInstanceName);

}  // namespace z9mnt
