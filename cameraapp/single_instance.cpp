#include "single_instance.h"

namespace z9app {

bool ClaimFirstInstance(z9::UniqueHandle* mutex) {
  mutex->reset(CreateMutexA(nullptr, TRUE, kInstanceMutexName));
  const DWORD error = GetLastError();
  if (!*mutex) return true;  // no mutex, no way to tell: run
  if (error == ERROR_ALREADY_EXISTS) {
    mutex->reset();
    return false;
  }
  return true;
}

bool BringRunningCopyToFront(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    HWND window = FindWindowA(kMainWindowClass, nullptr);
    if (window != nullptr) {
      if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
      SetForegroundWindow(window);
      return true;
    }
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
}

}  // namespace z9app
