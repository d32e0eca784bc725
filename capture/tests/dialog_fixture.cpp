#include "dialog_fixture.h"

#include "settings.h"

namespace twntest {

HMODULE DialogTest::library_ = nullptr;
CreateFn DialogTest::create_ = nullptr;
RemoveFn DialogTest::remove_ = nullptr;

namespace {

std::vector<HostEvent> g_events;
std::vector<MonitorPost> g_posts;
bool g_removeOnClose = false;
RemoveFn g_remove = nullptr;

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kHostMessage) {
    HostEvent e;
    e.code = wParam;
    if (wParam == 0 && lParam != 0) {
      const uint8_t* p = reinterpret_cast<const uint8_t*>(lParam);
      e.info.assign(p, p + 16);
    } else if (wParam == 2 && lParam != 0) {
      HGLOBAL block = reinterpret_cast<HGLOBAL>(lParam);
      e.blockSize = GlobalSize(block);
      const uint8_t* p = static_cast<const uint8_t*>(GlobalLock(block));
      if (p != nullptr) {
        const BITMAPINFOHEADER* h = reinterpret_cast<const BITMAPINFOHEADER*>(p);
        SIZE_T n = 40 + static_cast<SIZE_T>(h->biSizeImage);
        if (n > e.blockSize) n = e.blockSize;
        e.dib.assign(p, p + n);
        GlobalUnlock(block);
      }
      GlobalFree(block);
    }
    g_events.push_back(e);
    if (wParam == 3 && g_removeOnClose && g_remove != nullptr) g_remove();
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK MonitorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) {
    g_posts.push_back({wParam, lParam});
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

UINT ActiveMessage() { return RegisterWindowMessageA("Z9100MntTwnActive"); }
UINT InactiveMessage() { return RegisterWindowMessageA("Z9100MntTwnInactive"); }

BoxAnswerer::BoxAnswerer(const char* caption) : caption_(caption) {
  InitializeCriticalSection(&lock_);
  thread_ = wintest::Thread([this] {
    while (!stop_) {
      HWND box = wintest::FindDialogBox(caption_.c_str(), GetCurrentProcessId());
      if (box != nullptr && IsWindowVisible(box)) {
        const std::string text = wintest::DialogText(box);
        HWND owner = GetWindow(box, GW_OWNER);
        wintest::PressDialogButton(box, IDOK);
        EnterCriticalSection(&lock_);
        texts_.push_back(text);
        owners_.push_back(owner);
        LeaveCriticalSection(&lock_);
        // Wait for this box to go before looking for the next one.
        for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(10);
      }
      Sleep(20);
    }
  });
}

BoxAnswerer::~BoxAnswerer() {
  stop_ = true;
  thread_.Join();
  DeleteCriticalSection(&lock_);
}

std::vector<std::string> BoxAnswerer::Texts() {
  EnterCriticalSection(&lock_);
  std::vector<std::string> t = texts_;
  LeaveCriticalSection(&lock_);
  return t;
}

std::vector<HWND> BoxAnswerer::Owners() {
  EnterCriticalSection(&lock_);
  std::vector<HWND> t = owners_;
  LeaveCriticalSection(&lock_);
  return t;
}

void BoxAnswerer::Clear() {
  EnterCriticalSection(&lock_);
  texts_.clear();
  owners_.clear();
  LeaveCriticalSection(&lock_);
}

void DialogTest::SetUpTestSuite() {
  if (library_ != nullptr) return;
  library_ = LoadLibraryA((wintest::ExeDir() + "\\Z9100Twn.dll").c_str());
  if (library_ != nullptr) {
    create_ = reinterpret_cast<CreateFn>(GetProcAddress(library_, "CreateUIDlg"));
    remove_ = reinterpret_cast<RemoveFn>(GetProcAddress(library_, "RemoveUIDlg"));
  }
  g_remove = remove_;
  WNDCLASSA host = {};
  host.lpfnWndProc = HostProc;
  host.hInstance = GetModuleHandleA(nullptr);
  host.lpszClassName = "Z9TestTwainHost";
  RegisterClassA(&host);
  WNDCLASSA monitor = {};
  monitor.lpfnWndProc = MonitorProc;
  monitor.hInstance = GetModuleHandleA(nullptr);
  monitor.lpszClassName = "Z9100MntWndClass";
  RegisterClassA(&monitor);
}

void DialogTest::SetUp() {
  ASSERT_NE(create_, nullptr);
  ASSERT_NE(remove_, nullptr);
  g_events.clear();
  g_posts.clear();
  g_removeOnClose = false;
  host_ = CreateWindowExA(0, "Z9TestTwainHost", "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                          GetModuleHandleA(nullptr), nullptr);
  monitor_ = CreateWindowExA(0, "Z9100MntWndClass", "Z9100Mnt", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(host_, nullptr);
  ASSERT_NE(monitor_, nullptr);
  SetFriendlyName("Opticam, Q7710C USB Camera");
}

void DialogTest::TearDown() {
  if (dialog_ != nullptr && IsWindow(dialog_)) remove_();
  DestroyWindow(host_);
  DestroyWindow(monitor_);
  SetFriendlyName("Opticam, Q7710C USB Camera");
}

int DialogTest::Create() {
  const size_t before = g_posts.size();
  createResult_ = create_(host_);
  dialog_ = nullptr;
  wintest::PumpFor(50);
  for (size_t i = before; i < g_posts.size(); ++i)
    if (g_posts[i].wParam == ActiveMessage()) dialog_ = reinterpret_cast<HWND>(g_posts[i].lParam);
  return createResult_;
}

int DialogTest::Remove() {
  const int r = remove_();
  wintest::PumpFor(50);
  return r;
}

std::vector<HostEvent>& DialogTest::Events() { return g_events; }
std::vector<MonitorPost>& DialogTest::Posts() { return g_posts; }
bool& DialogTest::RemoveOnCloseRequest() { return g_removeOnClose; }

void DialogTest::SetFriendlyName(const char* name) {
  if (name == nullptr)
    wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "FriendlyName");
  else
    wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "FriendlyName", name);
}

}  // namespace twntest
