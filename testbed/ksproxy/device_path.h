// Finding the capture device the proxy object stands for.
#pragma once
#include <string>

namespace z9proxy {

// Instance id of the camera's capture function, the device opened when the
// object was not told a device path.
inline constexpr char kDefaultInstanceId[] = "ROOT\\VID_FFF1&PID_A14C&MI_00\\0000";

// Device path of the present KSCATEGORY_CAPTURE interface of `instanceId`.
bool FindCaptureInterfacePath(const char* instanceId, std::string* path);

}  // namespace z9proxy
