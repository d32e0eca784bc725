#include "dispatch.h"

#include <mmsystem.h>
#include <shellapi.h>

#include <cstdio>

#include "log.h"
#include "monitor_state.h"
#include "settings.h"

namespace z9mnt {

namespace {

bool Is(UINT id, WPARAM wParam) { return id != 0 && wParam == id; }

void SendF2() {
  keybd_event(VK_F2, 0, 0, 0);
  keybd_event(VK_F2, 0, KEYEVENTF_KEYUP, 0);
}

}  // namespace

void RegisterEventMessages() {
  RegisteredMessages& ids = Monitor().messages;
  ids.launch = RegisterWindowMessageA("Z9100MntLaunchap");
  ids.snapshot = RegisterWindowMessageA("Z9100MntSnapshot");
  ids.twnActive = RegisterWindowMessageA("Z9100MntTwnActive");
  ids.twnInactive = RegisterWindowMessageA("Z9100MntTwnInactive");
}

void PlayLaunchSound() {
  char dir[128] = {};
  const UINT n = GetWindowsDirectoryA(dir, sizeof dir);
  if (n == 0 || n >= sizeof dir) return;
  char path[sizeof dir + 32];
  std::snprintf(path, sizeof path, "%s\\media\\kaka.wav", dir);
  sndPlaySoundA(path, SND_ASYNC);
}

void LaunchCameraApplication() {
  char path[z9::kAppPathSize];
  if (!z9::ReadCameraAppPath(path)) return;
  ShellExecuteA(nullptr, nullptr, path, nullptr, nullptr, SW_SHOW);
}

void DispatchEvent(WPARAM wParam, LPARAM lParam) {
  MonitorState& m = Monitor();
  const RegisteredMessages& ids = m.messages;
  if (Is(ids.launch, wParam)) {
    LogLine("MONITOR_EVENT_LAUNCHAP");
    DWORD playSound = 0;
    z9::ReadSettingDwordInto("PlaySound", &playSound);
    if (playSound & 1) PlayLaunchSound();
    LaunchCameraApplication();
  } else if (Is(ids.snapshot, wParam)) {
    LogLine("MONITOR_EVENT_SNAPSHOT");
    if (m.target.active) {
      PostMessageA(m.target.window, WM_COMMAND, m.target.command, 0);
    } else {
      SendF2();
    }
  } else if (Is(ids.twnActive, wParam)) {
    // The target changes before the log line: LogLine handles the messages
    // waiting behind this one, and a newer registration among them must win.
    m.target.window = reinterpret_cast<HWND>(lParam);
    m.target.command = kCaptureCommandId;
    m.target.active = true;
    LogLine("MONITOR_TWAIN_ACTIVE");
  } else if (Is(ids.twnInactive, wParam)) {
    m.target = CaptureTarget{};
    LogLine("MONITOR_TWAIN_INACTIVE");
  }
}

}  // namespace z9mnt
