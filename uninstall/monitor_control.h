// Starting and stopping the monitor Z9100Mnt.
#pragma once

namespace z9rmv {

constexpr char kMonitorClass[] = "Z9100MntWndClass";
constexpr char kMonitorTitle[] = "Z9100Mnt";
constexpr unsigned kMonitorStopWaitMs = 1500;

// Runs "<windowsDir>\RidEva\Z9100\Z9100Mnt.exe", shown when [Debug]
// DebugMode of "StillMnt.ini" is non-zero, else hidden. False when it could
// not be started.
bool StartMonitor(const char* windowsDir);

// Posts WM_CLOSE to the monitor's window, then waits 1500 ms whether or not
// a window was found. True when a window was found.
bool StopMonitor();

}  // namespace z9rmv
