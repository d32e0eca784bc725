// Start-up and shutdown of the monitor's work, run on the main thread.
#pragma once

namespace z9mnt {

// 1 on success; 0 only when it runs out of memory.
int StillMnt_Init();
// Run on WM_CLOSE; returns 1.
int StillMnt_UnInit();

// Logs the system's name and sets the registry view flag.
void CheckOperatingSystem();

}  // namespace z9mnt
