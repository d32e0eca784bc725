// GoogleTest's Notification, on Win32 events. The win32-thread variant of
// mingw-w64 has no std::mutex / std::condition_variable, which GoogleTest's
// own Notification is built from; everything else in its Windows port uses
// Win32 primitives already. Forced into every translation unit that links
// GoogleTest in the cross build (with GTEST_HAS_NOTIFICATION_=1).
#pragma once
#ifdef __cplusplus
#include <windows.h>

namespace testing {
namespace internal {

class Notification {
 public:
  Notification() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Notification() { CloseHandle(event_); }
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { SetEvent(event_); }
  void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

 private:
  HANDLE event_;
};

}  // namespace internal
}  // namespace testing
#endif
