// One camera application per session: the first start holds a named mutex;
// a later start finds the first one's window and brings it to the front.
#pragma once
#include <windows.h>

#include "win_handles.h"

namespace z9app {

constexpr char kInstanceMutexName[] = "Z9100LApRunning";
constexpr char kMainWindowClass[] = "Z9100LApWndClass";

// True when no other copy runs; the mutex stays held through *mutex.
bool ClaimFirstInstance(z9::UniqueHandle* mutex);

// Waits up to timeoutMs for the running copy's main window (it may still be
// starting), restores it when minimised and makes it the foreground window.
bool BringRunningCopyToFront(DWORD timeoutMs);

}  // namespace z9app
