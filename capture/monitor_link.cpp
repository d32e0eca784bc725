#include "monitor_link.h"

namespace z9twn {

int PostToMonitor(const char* messageName, LPARAM lParam) {
  HWND monitor = FindWindowA(kMonitorClass, kMonitorTitle);
  const UINT id = RegisterWindowMessageA(messageName);
  // A null window would post to this thread's own queue.
  if (monitor == nullptr || id == 0) return 0;
  return PostMessageA(monitor, WM_COMMAND, id, lParam) ? 1 : 0;
}

}  // namespace z9twn
