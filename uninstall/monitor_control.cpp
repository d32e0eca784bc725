#include "monitor_control.h"

#include <windows.h>

#include "paths.h"
#include "settings.h"

namespace z9rmv {

bool StartMonitor(const char* windowsDir) {
  if (windowsDir == nullptr || windowsDir[0] == '\0') return false;
  char path[MAX_PATH + 40];
  if (!JoinPath(path, sizeof path, windowsDir, "RidEva\\Z9100\\Z9100Mnt.exe")) return false;
  // WinExec splits its text at blanks: a Windows directory with a blank is
  // quoted, or a program named by the text before the blank would run.
  char command[sizeof path + 2];
  if (!QuoteIfNeeded(command, sizeof command, path)) return false;
  const UINT show = z9::ReadDebugMode() != 0 ? SW_SHOW : SW_HIDE;
  return WinExec(command, show) > 31;
}

bool StopMonitor() {
  HWND window = FindWindowA(kMonitorClass, kMonitorTitle);
  if (window != nullptr) PostMessageA(window, WM_CLOSE, 0, 0);
  Sleep(kMonitorStopWaitMs);
  return window != nullptr;
}

}  // namespace z9rmv
