// The monitor's start and handlers when memory runs out, and the messenger
// start when its window comes late. Allocations of the test's own thread can
// be made to fail; the product code runs in this process.
#include <windows.h>

#include <dbt.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "device_presence.h"
#include "messenger.h"
#include "monitor_app.h"
#include "monitor_state.h"

namespace {

// Allocations of one thread fail after `allowed` more have succeeded.
std::atomic<DWORD> g_failingThread{0};
std::atomic<long> g_allowed{0};
std::atomic<long> g_refused{0};

void* Allocate(size_t n) {
  if (g_failingThread.load() != 0 && g_failingThread.load() == GetCurrentThreadId()) {
    if (g_allowed.fetch_sub(1) <= 0) {
      ++g_refused;
      throw std::bad_alloc();
    }
  }
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

class OutOfMemory {
 public:
  explicit OutOfMemory(long allowed = 0) {
    g_refused = 0;
    g_allowed = allowed;
    g_failingThread = GetCurrentThreadId();
  }
  ~OutOfMemory() { g_failingThread = 0; }
  long Refused() const { return g_refused.load(); }
};

}  // namespace

void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

using namespace z9mnt;

namespace {

// Out of memory at any point of the start: StillMnt_Init answers 0 (the
// program's failure path) or, when the failure came where it is not needed,
// 1; no exception leaves it, and the shutdown afterwards works.
TEST(OutOfMemoryTest, StillMntInitTakesItsFailurePathInsteadOfThrowing) {
  Monitor().instance = GetModuleHandleA(nullptr);
  bool sawFailure = false;
  bool sawSuccess = false;
  for (long allowed = 0; allowed < 40 && !sawSuccess; ++allowed) {
    SCOPED_TRACE(allowed);
    int result = -1;
    long refused = 0;
    {
      OutOfMemory oom(allowed);
      result = StillMnt_Init();
      refused = oom.Refused();
    }
    if (refused > 0) {
      EXPECT_EQ(result, 0) << "an allocation failed, yet the start reported success";
      sawFailure = true;
    } else {
      EXPECT_EQ(result, 1);
      sawSuccess = true;
    }
    EXPECT_EQ(StillMnt_UnInit(), 1);
  }
  EXPECT_TRUE(sawFailure);
  EXPECT_TRUE(sawSuccess) << "the start never got through";
}

TEST(OutOfMemoryTest, TheWindowHandlersDropTheirWorkInsteadOfThrowing) {
  // A wide arrival notice of the camera, as Wine sends it.
  const std::wstring name = L"\\\\?\\ROOT#VID_FFF1&PID_A14C&MI_00#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
  std::vector<BYTE> block(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + name.size() * sizeof(WCHAR), 0);
  auto* notice = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(block.data());
  notice->dbcc_size = static_cast<DWORD>(block.size());
  notice->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(notice->dbcc_name, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
  std::strcpy(Monitor().devInstanceName, "VID_FFF1&PID_A14C");
  for (WPARAM event : {static_cast<WPARAM>(DBT_DEVICEARRIVAL), static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE)}) {
    OutOfMemory oom;
    OnDeviceChange(event, reinterpret_cast<LPARAM>(block.data()));
    OnPowerBroadcast(PBT_APMRESUMESUSPEND);
    BlinkMessengerLed();
  }
  StillMnt_UnInit();
}

// A window class of the test's own under the messenger's class name, whose
// first window takes longer to make than the start waits for it.
std::atomic<bool> g_slowCreate{true};

LRESULT CALLBACK SlowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE && g_slowCreate.exchange(false)) Sleep(5800);
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// The start waits 5 s for the messenger's window and then goes on. A thread
// that signals "ready" afterwards must not touch a handle that by then
// belongs to something else.
TEST(MessengerStartTest, AWindowThatComesLateSignalsNoOtherEvent) {
  MonitorState& m = Monitor();
  m.instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.lpfnWndProc = SlowProc;
  wc.hInstance = m.instance;
  wc.lpszClassName = "SpyHookClass";
  ASSERT_NE(RegisterClassA(&wc), 0);

  const DWORD start = GetTickCount();
  StartMessengerNotification();
  const DWORD waited = GetTickCount() - start;
  // Handles made now take the values just let go of.
  std::vector<HANDLE> events;
  for (int i = 0; i < 16; ++i) events.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  EXPECT_GE(waited, 4500u) << "the start did not wait for the window";
  EXPECT_LT(waited, 5700u) << "the window came before the start stopped waiting: the case was not made";

  DWORD t0 = GetTickCount();
  while (m.messenger.window.load() == nullptr && GetTickCount() - t0 < 5000) Sleep(20);
  ASSERT_NE(m.messenger.window.load(), nullptr) << "the late window never came";
  Sleep(200);
  for (size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(WaitForSingleObject(events[i], 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "the messenger thread signalled an unrelated event (handle " << events[i] << ")";
    CloseHandle(events[i]);
  }
  StopMessengerNotification();
  EXPECT_EQ(FindWindowA("SpyHookClass", nullptr), nullptr);
  UnregisterClassA("SpyHookClass", m.instance);
}

}  // namespace
