#include "messenger.h"

#include <process.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "device_control.h"
#include "device_presence.h"
#include "log.h"
#include "monitor_state.h"
#include "worker_thread.h"

namespace z9mnt {

namespace {

constexpr unsigned kLightPin = 6;
constexpr DWORD kPulseMs = 500;
constexpr UINT kBlinkPeriodMs = 1000;
constexpr DWORD kWindowReadyMs = 5000;
constexpr DWORD kMessengerEndMs = 2000;

LRESULT CALLBACK MessengerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_COPYDATA: {
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      bool on = false;
      if (copy != nullptr && BlinkSwitchOf(copy->lpData, copy->cbData, &on)) Monitor().blink = on;
      return 1;
    }
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

// `ready` is the thread's own handle of the start's event: the start may
// stop waiting for it and close its handle while this thread still makes
// the window, so the thread signals and closes only its own.
unsigned __stdcall MessengerThread(void* ready) {
  MonitorState& m = Monitor();
  HWND window = CreateWindowExA(0, kMessengerClass, kMessengerTitle, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                                nullptr, m.instance, nullptr);
  m.messenger.window = window;
  if (ready != nullptr) {
    SetEvent(static_cast<HANDLE>(ready));
    CloseHandle(static_cast<HANDLE>(ready));
  }
  if (window == nullptr) return 0;
  // Posted messages are taken and dropped; sent ones (WM_COPYDATA) reach the
  // window procedure while GetMessage waits. The loop ends with the window.
  MSG msg;
  while (GetMessageA(&msg, window, 0, 0) > 0) {
  }
  m.messenger.window = nullptr;
  return 0;
}

}  // namespace

bool BlinkSwitchOf(const void* data, size_t size, bool* on) {
  if (data == nullptr || size < 8) return false;
  uint8_t word[4];
  std::memcpy(word, static_cast<const uint8_t*>(data) + 4, sizeof word);
  *on = (word[0] | word[1] | word[2] | word[3]) != 0;
  return true;
}

bool RegisterMessengerClass(HINSTANCE instance) {
  WNDCLASSA wc{};
  wc.style = 0;
  wc.lpfnWndProc = MessengerProc;
  wc.cbWndExtra = 8;
  wc.hInstance = instance;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kMessengerClass;
  return RegisterClassA(&wc) != 0;
}

void StartMessengerNotification() {
  MonitorState& m = Monitor();
  if (!m.messenger.thread.valid()) {
    // The thread says when its window exists, so that a stop right after
    // the start finds the window to close.
    z9::UniqueHandle ready(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!ready) return;
    HANDLE threadsCopy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), ready.get(), GetCurrentProcess(), &threadsCopy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
      return;
    }
    const uintptr_t h = _beginthreadex(nullptr, 0, MessengerThread, threadsCopy, 0, nullptr);
    if (h == 0) {
      CloseHandle(threadsCopy);
      return;
    }
    m.messenger.thread.reset(reinterpret_cast<HANDLE>(h));
    HANDLE waits[2] = {ready.get(), m.messenger.thread.get()};
    WaitForMultipleObjects(2, waits, FALSE, kWindowReadyMs);
    LogLine(" Create hook Thread !");
  }
  LogLine("Set Timer 1");
  SetTimer(m.mainWindow, kBlinkTimerId, kBlinkPeriodMs, nullptr);
}

void StopMessengerNotification() {
  MonitorState& m = Monitor();
  if (m.messenger.thread.valid()) {
    LogLine("Terminate hook Thread !");
    z9::UniqueHandle thread = std::move(m.messenger.thread);
    HWND window = m.messenger.window.load();
    if (window != nullptr) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(window, WM_CLOSE, 0, 0, SMTO_NORMAL, kMessengerEndMs, &ignored);
    }
    WaitHandlingSentMessages(thread.get(), kMessengerEndMs);
  }
  KillTimer(m.mainWindow, kBlinkTimerId);
}

void BlinkMessengerLed() {
  try {
    z9::UniqueHandle camera = OpenCameraDevice();
    if (!camera) return;
    SetGpioOutput(camera.get(), kLightPin, true);
    Sleep(kPulseMs);
    SetGpioOutput(camera.get(), kLightPin, false);
  } catch (const std::bad_alloc&) {
    // No pulse this tick.
  }
}

}  // namespace z9mnt
