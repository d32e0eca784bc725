// The camera's presence: finding and opening its capture interface, the
// device-interface notices of the main window and the power events.
#pragma once
#include <windows.h>

#include "win_handles.h"

namespace z9mnt {

// A handle on the camera's capture interface, or none. Each task opens its
// own and closes it when done.
z9::UniqueHandle OpenCameraDevice();

// True when a device path named in a notice is one of the camera's interfaces.
bool MatchCameraInterface(const char* path);

// The main window's registration for capture-interface notices.
void RegisterDeviceNotices();
void UnregisterDeviceNotices();

// WM_DEVICECHANGE and WM_POWERBROADCAST of the main window.
void OnDeviceChange(WPARAM event, LPARAM data);
void OnPowerBroadcast(WPARAM event);

// After the system resumes: polling again if the camera opens.
void StillMnt_Resume();

}  // namespace z9mnt
