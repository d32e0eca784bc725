#include "log.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "monitor_state.h"

namespace z9mnt {

size_t FormatLogLine(char (&line)[kLogLineSize], const char* format, va_list args) {
  const int n = std::vsnprintf(line, sizeof line, format, args);
  if (n < 0) {
    line[0] = '\0';
    return 0;
  }
  line[sizeof line - 1] = '\0';
  return std::strlen(line);
}

void LogLine(const char* format, ...) {
  const MonitorState& m = Monitor();
  if (m.debugMode == 0 || m.logList == nullptr) return;

  char line[kLogLineSize];
  va_list args;
  va_start(args, format);
  FormatLogLine(line, format, args);
  va_end(args);

  const LRESULT index = SendMessageA(m.logList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
  SendMessageA(m.logList, LB_SETCURSEL, static_cast<WPARAM>(index), 0);

  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The end of the message loop belongs to the loop, not to the log.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  UpdateWindow(m.logList);
}

}  // namespace z9mnt
