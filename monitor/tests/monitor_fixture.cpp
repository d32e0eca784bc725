#include "monitor_fixture.h"

#include <dbt.h>
#include <tlhelp32.h>

#include <cstddef>
#include <cstring>

namespace mnttest {

// --- LogView --------------------------------------------------------------------

void LogView::Attach(HWND list) {
  list_ = list;
  lines_.clear();
}

bool LogView::Refresh() {
  if (list_ == nullptr) return false;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(list_, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 3000, &count)) return false;
  if (static_cast<LONG_PTR>(count) < 0) return false;
  for (size_t i = lines_.size(); i < count; ++i) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(list_, LB_GETTEXTLEN, i, 0, SMTO_NORMAL, 3000, &len)) return false;
    if (static_cast<LONG_PTR>(len) < 0) return false;
    std::vector<WCHAR> text(len + 2, 0);
    if (!SendMessageTimeoutW(list_, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, 3000,
                             nullptr))
      return false;
    char line[2048] = {};
    WideCharToMultiByte(CP_ACP, 0, text.data(), -1, line, sizeof line - 1, nullptr, nullptr);
    lines_.push_back(line);
  }
  return true;
}

size_t LogView::Size() {
  Refresh();
  return lines_.size();
}

std::vector<std::string> LogView::Lines() {
  Refresh();
  return lines_;
}

int LogView::Count(const std::string& line, size_t from) {
  Refresh();
  int n = 0;
  for (size_t i = from; i < lines_.size(); ++i) n += lines_[i] == line;
  return n;
}

int LogView::CountPrefix(const std::string& prefix, size_t from) {
  Refresh();
  int n = 0;
  for (size_t i = from; i < lines_.size(); ++i) n += lines_[i].compare(0, prefix.size(), prefix) == 0;
  return n;
}

int LogView::Find(const std::string& line, size_t from) {
  Refresh();
  for (size_t i = from; i < lines_.size(); ++i)
    if (lines_[i] == line) return static_cast<int>(i);
  return -1;
}

bool LogView::WaitFor(const std::string& line, DWORD timeoutMs, int times, size_t from) {
  return wintest::WaitUntil([&] { return Count(line, from) >= times; }, timeoutMs, 25);
}

std::string LogView::Dump(size_t from, size_t max) {
  Refresh();
  std::string out;
  // Long runs of the cycle's status line say little; show them once.
  size_t shown = 0;
  for (size_t i = from; i < lines_.size() && shown < max; ++i) {
    if (i > from && lines_[i] == lines_[i - 1] && lines_[i].rfind("AudioStatus = ", 0) == 0) continue;
    out += "  [" + std::to_string(i) + "] " + lines_[i] + "\n";
    ++shown;
  }
  return out;
}

// --- TestWindow ---------------------------------------------------------------------

TestWindow::TestWindow(const char* title) {
  static const char kClass[] = "Z9MntTestWindow";
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClass;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassA(&wc);  // fails harmlessly when already registered
  hwnd_ = CreateWindowExA(0, kClass, title, WS_OVERLAPPEDWINDOW, 600, 400, 300, 200, nullptr, nullptr, wc.hInstance,
                          nullptr);
  if (hwnd_) SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TestWindow::~TestWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

int TestWindow::Commands(WPARAM id) const {
  int n = 0;
  for (WPARAM c : commands_) n += c == id;
  return n;
}

int TestWindow::CommandsWithLParam() const {
  int n = 0;
  for (LPARAM l : lParams_) n += l != 0;
  return n;
}

void TestWindow::Clear() {
  commands_.clear();
  lParams_.clear();
  f2Down_ = f2Up_ = 0;
}

bool TestWindow::MakeForeground() {
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
  return wintest::WaitUntil([&] { return GetForegroundWindow() == hwnd_; }, 3000);
}

LRESULT CALLBACK TestWindow::Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (self) {
    if (msg == WM_COMMAND) {
      self->commands_.push_back(wp);
      self->lParams_.push_back(lp);
    }
    if (msg == WM_KEYDOWN && wp == VK_F2) ++self->f2Down_;
    if (msg == WM_KEYUP && wp == VK_F2) ++self->f2Up_;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

// --- MonitorTest ---------------------------------------------------------------------

namespace {

// A monitor left behind by an earlier test would answer in place of ours.
void EndStrayMonitor() {
  HWND stray = FindWindowA(kMainClass, nullptr);
  if (!stray) return;
  PostMessageA(stray, WM_CLOSE, 0, 0);
  if (wintest::WaitForNoWindow(kMainClass, nullptr, 8000)) return;
  DWORD pid = 0;
  GetWindowThreadProcessId(stray, &pid);
  HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (p) {
    TerminateProcess(p, 1);
    WaitForSingleObject(p, 5000);
    CloseHandle(p);
  }
}

}  // namespace

void MonitorTest::SetUp() {
  ASSERT_TRUE(bench.Open(15000)) << "bench control device missing, error " << bench.LastError();
  EndStrayMonitor();
  ASSERT_TRUE(bench.Reset());
  ASSERT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kCameraInstanceId, true, 10000));
  wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
  ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, "AudioStatus", 0));
  wintest::DeleteFileIfAny(wintest::WindowsDir() + "\\" + kIni);
}

void MonitorTest::TearDown() {
  if (monitor.Running()) {
    if (!Close()) monitor.Kill();
  }
  // A warning box of a killed monitor is gone with it; nothing else lingers.
  if (bench.IsOpen()) bench.Reset();
  wintest::DeleteFileIfAny(wintest::WindowsDir() + "\\" + kIni);
}

void MonitorTest::SetSetting(const char* name, DWORD value) {
  ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, value)) << name;
}

void MonitorTest::SetSettingText(const char* name, const std::string& value) {
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, name, value)) << name;
}

DWORD MonitorTest::Setting(const char* name) {
  DWORD v = 0xDEADBEEF;
  wintest::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, name, &v);
  return v;
}

void MonitorTest::SetIni(const char* section, const char* key, const char* value) {
  ASSERT_TRUE(wintest::IniWrite(kIni, section, key, value));
}

bool MonitorTest::Start() {
  if (debugMode) SetIni("Debug", "DebugMode", "1");
  const std::string exe = wintest::ExeDir() + "\\Z9100Mnt.exe";
  if (!monitor.Start("\"" + exe + "\"")) {
    ADD_FAILURE() << "cannot start " << exe;
    return false;
  }
  window = nullptr;
  wintest::WaitUntil(
      [&] {
        auto windows = wintest::WindowsOfProcess(monitor.Id(), kMainClass);
        if (!windows.empty()) window = windows.front();
        return window != nullptr;
      },
      10000);
  if (!window) {
    ADD_FAILURE() << "the monitor's window did not appear";
    return false;
  }
  HWND list = nullptr;
  wintest::WaitUntil([&] { return (list = wintest::FindChildByClass(window, "ListBox")) != nullptr; }, 5000);
  if (!list) {
    ADD_FAILURE() << "the monitor's log list box did not appear";
    return false;
  }
  log.Attach(list);
  if (debugMode && !log.WaitFor("StillMnt_Init", 5000)) {
    ADD_FAILURE() << "no first log line";
    return false;
  }
  return true;
}

bool MonitorTest::Close(DWORD timeoutMs, DWORD* exitCode) {
  if (window) PostMessageA(window, WM_CLOSE, 0, 0);
  return monitor.Wait(timeoutMs, exitCode);
}

void MonitorTest::PostEvent(const char* messageName, LPARAM lParam) {
  PostMessageA(window, WM_COMMAND, RegisterWindowMessageA(messageName), lParam);
}

namespace {

// A device-interface notice of the capture class naming `name` (`bytes`
// bytes, its zero included), at least as large as the structure itself.
std::vector<BYTE> InterfaceNotice(const void* name, size_t bytes) {
  constexpr size_t kNameAt = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
  const size_t size = kNameAt + bytes;
  std::vector<BYTE> block(size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) ? sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)
                                                                          : size,
                          0);
  auto* notice = reinterpret_cast<DEV_BROADCAST_HDR*>(block.data());
  notice->dbch_size = static_cast<DWORD>(block.size());
  notice->dbch_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  const GUID capture = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
  std::memcpy(block.data() + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_classguid), &capture, sizeof capture);
  std::memcpy(block.data() + kNameAt, name, bytes);
  return block;
}

}  // namespace

bool MonitorTest::SendInterfaceNotice(WPARAM event, const std::wstring& path) {
  std::vector<BYTE> block = InterfaceNotice(path.c_str(), (path.size() + 1) * sizeof(WCHAR));
  DWORD_PTR answer = 0;
  return SendMessageTimeoutW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(block.data()), SMTO_NORMAL,
                             10000, &answer) != 0;
}

bool MonitorTest::SendInterfaceNotice(WPARAM event, const std::string& path) {
  std::vector<BYTE> block = InterfaceNotice(path.c_str(), path.size() + 1);
  DWORD_PTR answer = 0;
  return SendMessageTimeoutA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(block.data()), SMTO_NORMAL,
                             10000, &answer) != 0;
}

LRESULT MonitorTest::SendPower(WPARAM event, DWORD timeoutMs) {
  DWORD_PTR answer = 0xBAD;
  if (!SendMessageTimeoutW(window, WM_POWERBROADCAST, event, 0, SMTO_NORMAL, timeoutMs, &answer)) return 0xBAD;
  return static_cast<LRESULT>(answer);
}

int MonitorTest::ThreadCount() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 t{};
  t.dwSize = sizeof t;
  int n = 0;
  for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t)) n += t.th32OwnerProcessID == monitor.Id();
  CloseHandle(snap);
  return n;
}

std::vector<HANDLE> MonitorTest::SuspendWorkerThreads() {
  std::vector<HANDLE> held;
  const DWORD windowThread = GetWindowThreadProcessId(window, nullptr);
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return held;
  THREADENTRY32 t{};
  t.dwSize = sizeof t;
  for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t)) {
    if (t.th32OwnerProcessID != monitor.Id() || t.th32ThreadID == windowThread) continue;
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, t.th32ThreadID);
    if (thread == nullptr) continue;
    if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
      CloseHandle(thread);
      continue;
    }
    held.push_back(thread);
  }
  CloseHandle(snap);
  return held;
}

void MonitorTest::ResumeThreads(std::vector<HANDLE>* threads) {
  for (HANDLE thread : *threads) {
    ResumeThread(thread);
    CloseHandle(thread);
  }
  threads->clear();
}

Z9B_COUNTERS MonitorTest::Counters() {
  Z9B_COUNTERS c{};
  EXPECT_TRUE(bench.GetCounters(&c));
  return c;
}

bool MonitorTest::WaitButtonRequests(uint32_t atLeast, DWORD timeoutMs) {
  return wintest::WaitUntil([&] { return ButtonRequests() >= atLeast; }, timeoutMs, 25);
}

bool MonitorTest::WaitPollingCycles(int n, DWORD timeoutMs) {
  const int before = log.CountPrefix("AudioStatus = ");
  return wintest::WaitUntil([&] { return log.CountPrefix("AudioStatus = ") >= before + n; }, timeoutMs, 25);
}

std::string MonitorTest::CameraPath() {
  std::string path;
  z9bench::FindCaptureInterface(z9bench::kCameraInstanceId, &path);
  return path;
}

int MonitorTest::CameraAppStarts() { return CountFileLines(kCameraAppLog, "started: "); }

int CountFileLines(const std::string& path, const std::string& prefix) {
  std::string text;
  if (!wintest::ReadFileBytes(path, &text)) return 0;
  int n = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    n += text.compare(at, prefix.size(), prefix) == 0;
    at = end + 2;
  }
  return n;
}

}  // namespace mnttest
