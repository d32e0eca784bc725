// The device walk of an uninstall: every device node of every class, present
// or not, whose hardware id holds one of the camera's device ids is removed
// with its driver package.
#pragma once

#include "uninstall_context.h"
#include "uninstall_texts.h"

namespace z9rmv {

constexpr char kImagingClassKey[] = "SYSTEM\\CurrentControlSet\\Control\\Class";
constexpr size_t kInfNameSize = 256;  // "InfPath", at most 255 bytes

// False when the device list could not be had ("Get Device Information Fail
// 1!!" was shown): the uninstall ends there.
bool RemoveCameraDevices(UninstallContext* ctx, const UninstallTexts& texts);

}  // namespace z9rmv
