// Everything the monitor keeps for the life of the process, in one place.
// The main thread owns all of it unless a field says otherwise; the worker
// threads read the fields that are set once before they start (window and
// list box handles, debug mode, device instance name, texts).
#pragma once
#include <windows.h>

#include <atomic>
#include <cstddef>

#include "language.h"
#include "settings.h"
#include "worker_thread.h"

namespace z9mnt {

constexpr char kMainClass[] = "Z9100MntWndClass";
constexpr char kMainTitle[] = "Z9100Mnt";
constexpr char kMessengerClass[] = "SpyHookClass";
constexpr char kMessengerTitle[] = "SpyHookWindow";
constexpr int kMainIconId = 801;
constexpr UINT_PTR kBlinkTimerId = 1;
constexpr UINT kCaptureCommandId = 1000;

// The ids of the four registered messages; 0 until StillMnt_Init.
struct RegisteredMessages {
  UINT launch = 0;       // "Z9100MntLaunchap"
  UINT snapshot = 0;     // "Z9100MntSnapshot"
  UINT twnActive = 0;    // "Z9100MntTwnActive"
  UINT twnInactive = 0;  // "Z9100MntTwnInactive"
};

// The capture dialog that wants the snapshot events.
struct CaptureTarget {
  HWND window = nullptr;
  UINT command = 0;
  bool active = false;
};

// The messenger notification: its thread and window (window written by the
// messenger thread, read by the main thread when it stops the thread).
struct MessengerState {
  z9::UniqueHandle thread;
  std::atomic<HWND> window{nullptr};
};

struct MonitorState {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  HWND logList = nullptr;
  int debugMode = 0;

  RegisteredMessages messages;
  HDEVNOTIFY deviceNotify = nullptr;
  char devInstanceName[z9::kDeviceIdSize] = {};
  DWORD msnNotifySupport = 0;

  WorkerSlot polling;  // CreatePollingThread / ClosePollingThread
  WorkerSlot audio;    // CreatePollingThread2 / ClosePollingThread2

  CaptureTarget target;
  z9::MonitorStrings strings = {};

  // Switched by WM_COPYDATA on the messenger thread, read by the main thread.
  std::atomic<bool> blink{false};
  MessengerState messenger;
};

// The one instance.
MonitorState& Monitor();

}  // namespace z9mnt
