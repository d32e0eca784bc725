// Z9100Mnt: the camera's background monitor. One copy per user; a hidden main
// window receives the device, power, timer and event messages; its list box
// is the debug log.
#include <windows.h>

#include "dispatch.h"
#include "device_presence.h"
#include "log.h"
#include "messenger.h"
#include "monitor_app.h"
#include "monitor_state.h"
#include "settings.h"

namespace z9mnt {

namespace {

constexpr DWORD kLogListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOSEL | LBS_NOINTEGRALHEIGHT;
static_assert(kLogListStyle == 0x50304100, "the log list's style");

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_DESTROY:
      PostQuitMessage(0);
      break;
    case WM_CLOSE:
      StillMnt_UnInit();
      break;
    case WM_COMMAND:
      DispatchEvent(wParam, lParam);
      break;
    case WM_TIMER:
      if (wParam == kBlinkTimerId && Monitor().blink) BlinkMessengerLed();
      break;
    case WM_POWERBROADCAST:
      OnPowerBroadcast(wParam);
      return 0;
    case WM_DEVICECHANGE:
      OnDeviceChange(wParam, lParam);
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// An ANSI class, as everything of the monitor: the wide functions of USER32
// do nothing on Windows 98 and ME. Device-interface notices may still come in
// the wide form (Wine sends that one to every window); the notice reader
// takes both.
bool RegisterMainClass(HINSTANCE instance) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kMainIconId));
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kMainClass;
  return RegisterClassExA(&wc) != 0;
}

int Run(HINSTANCE instance) {
  if (FindWindowA(kMainClass, nullptr) != nullptr) return 0;

  MonitorState& m = Monitor();
  m.instance = instance;
  m.debugMode = z9::ReadDebugMode();
  RegisterMainClass(instance);
  RegisterMessengerClass(instance);

  m.mainWindow = CreateWindowExA(0, kMainClass, kMainTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (m.mainWindow == nullptr) return 0;
  ShowWindow(m.mainWindow, m.debugMode != 0 ? SW_SHOW : SW_HIDE);
  UpdateWindow(m.mainWindow);

  RECT client{};
  GetClientRect(m.mainWindow, &client);
  m.logList = CreateWindowExA(0, "LISTBOX", "", kLogListStyle, 0, 0, client.right - client.left,
                              client.bottom - client.top, m.mainWindow, nullptr, instance, nullptr);

  z9::LoadMonitorStrings(&m.strings);

  if (StillMnt_Init() == 0) {
    LogLine("StillMnt_Init fail");
    Sleep(1000);
    LogLine("Window will be closed...");
    Sleep(2000);
    return 0;
  }

  MSG msg{};
  int got;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 0;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

}  // namespace z9mnt

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return z9mnt::Run(instance); }
