// The main window's WM_COMMAND: button events from the polling thread and the
// capture dialog's registration, by registered message id in wParam.
#pragma once
#include <windows.h>

namespace z9mnt {

// Registers the four messages, in the order launch, snapshot, active, inactive.
void RegisterEventMessages();

void DispatchEvent(WPARAM wParam, LPARAM lParam);

// The launch event's two actions.
void PlayLaunchSound();
void LaunchCameraApplication();

}  // namespace z9mnt
