// Who the source is: maker, family, and the camera's name as the capture
// dialog shows it; and whether the camera is plugged in.
#pragma once
#include <windows.h>

#include "twain_types.h"

namespace z9cam {

constexpr char kManufacturer[] = "RidEva";
constexpr char kProductFamily[] = "Z9100";
constexpr char kDefaultProductName[] = "Opticam, Q7710C USB Camera";

// Fills everything but Id. The product name is the settings key's
// "FriendlyName" (cut to 33 characters), or the default when it cannot be
// read or is empty. `twain2` adds DF_DS2 and protocol 2.x.
void FillIdentity(twain::TW_IDENTITY* identity, bool twain2);

// True when a capture interface of the camera is present.
bool CameraOnline();

}  // namespace z9cam
