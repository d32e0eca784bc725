// The posts that tell the monitor a capture dialog opened or closed.
#pragma once
#include <windows.h>

namespace z9twn {

constexpr char kMonitorClass[] = "Z9100MntWndClass";
constexpr char kMonitorTitle[] = "Z9100Mnt";
constexpr char kTwnActiveMessage[] = "Z9100MntTwnActive";
constexpr char kTwnInactiveMessage[] = "Z9100MntTwnInactive";

// WM_COMMAND with the registered number of `messageName` as wParam, posted to
// the monitor window found by class and title. Nonzero when posted; 0 when
// no monitor runs (nothing is posted then).
int PostToMonitor(const char* messageName, LPARAM lParam);

}  // namespace z9twn
