// Z9MntDemo: starts the installed Z9100Mnt.exe (as the Run entry names it) in
// a prefix with the bench camera, with its
// log window shown, and walks through what the monitor does: a button press
// with a capture dialog registered and one without, an unplug and replug,
// and the disconnect warning. Saves pictures of the log window and the screen
// into the folder given as the only argument and prints what happened.
// Exit code 0 when every step went as expected.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_client.h"
#include "installation.h"
#include "wintest.h"

namespace {

constexpr char kSettingsKey[] = "Software\\RidEva\\Z9100";
constexpr char kMainClass[] = "Z9100MntWndClass";

int g_failures = 0;

void Say(const char* format, const std::string& detail = "") {
  std::printf(format, detail.c_str());
  std::printf("\n");
  std::fflush(stdout);
}

bool Step(bool ok, const char* what) {
  std::printf("  %s %s\n", ok ? "[ok]    " : "[FAILED]", what);
  std::fflush(stdout);
  if (!ok) ++g_failures;
  return ok;
}

// A window of the demo's own that records what reaches it.
struct DemoWindow {
  HWND hwnd = nullptr;
  int commands1000 = 0;
  int f2Down = 0;
  int f2Up = 0;

  explicit DemoWindow(const char* title, int x, int y) {
    static const char kClass[] = "Z9MntDemoWindow";
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);
    hwnd = CreateWindowExA(0, kClass, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, 260, 120, nullptr, nullptr,
                           wc.hInstance, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~DemoWindow() { DestroyWindow(hwnd); }

  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<DemoWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (self && msg == WM_COMMAND && wp == 1000) ++self->commands1000;
    if (self && msg == WM_KEYDOWN && wp == VK_F2) ++self->f2Down;
    if (self && msg == WM_KEYUP && wp == VK_F2) ++self->f2Up;
    return DefWindowProcA(h, msg, wp, lp);
  }
};

// The monitor's log, read from outside.
struct Log {
  HWND list = nullptr;
  std::vector<std::string> Lines() { return wintest::ReadListBoxLines(list); }
  int Count(const std::string& line) {
    int n = 0;
    for (const auto& l : Lines()) n += l == line;
    return n;
  }
  bool WaitFor(const std::string& line, int times, DWORD timeoutMs) {
    return wintest::WaitUntil([&] { return Count(line) >= times; }, timeoutMs, 50);
  }
};

uint32_t ButtonRequests(z9bench::Bench& bench) {
  Z9B_COUNTERS c{};
  bench.GetCounters(&c);
  return c.byKind[Z9B_KIND_BUTTON];
}

// Queues one press once the polling thread is past any quiet cycle.
bool Press(z9bench::Bench& bench, uint8_t state) {
  const uint32_t now = ButtonRequests(bench);
  if (!wintest::WaitUntil([&] { return ButtonRequests(bench) >= now + 2; }, 5000)) return false;
  return bench.PushButtons({state});
}

void PostEvent(HWND monitor, const char* name, LPARAM lParam) {
  PostMessageA(monitor, WM_COMMAND, RegisterWindowMessageA(name), lParam);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string pictures = argc > 1 ? argv[1] : wintest::ExeDir();
  Say("Z9100Mnt demonstration on the bench camera");

  z9bench::Bench bench;
  if (!Step(bench.Open(15000) && bench.Reset(), "the bench camera is installed and answers")) return 1;

  // Settings as the installation leaves them, and the log switched on.
  wintest::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, "AudioStatus", 0);
  wintest::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, "PlaySound", 0);
  wintest::IniWrite("StillMnt.ini", "Debug", "DebugMode", "1");

  wintest::Process monitor;
  const std::string monitorCommand = demo::MonitorCommandLine();
  Step(!monitorCommand.empty() && monitor.Start(monitorCommand), "Z9100Mnt.exe started as the Run entry names it");
  if (!monitorCommand.empty()) Say("           %s", monitorCommand);
  HWND main = wintest::WaitForWindow(kMainClass, "Z9100Mnt", 10000);
  if (!Step(main != nullptr, "its window \"Z9100Mnt\" is up, showing the log (StillMnt.ini DebugMode=1)")) return 1;
  SetWindowPos(main, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  Log log;
  wintest::WaitUntil([&] { return (log.list = wintest::FindChildByClass(main, "ListBox")) != nullptr; }, 5000);
  Step(log.WaitFor("Thread created.....", 1, 5000), "camera found at start-up: the polling thread runs");
  Step(wintest::WaitUntil([&] { return ButtonRequests(bench) >= 3; }, 5000),
       "button-state requests reach the camera driver ten times a second");

  // 1. A capture dialog is open: the press becomes its "&Capture" click.
  {
    DemoWindow dialog("Capture dialog stand-in", 700, 40);
    PostEvent(main, "Z9100MntTwnActive", reinterpret_cast<LPARAM>(dialog.hwnd));
    Step(log.WaitFor("MONITOR_TWAIN_ACTIVE", 1, 3000), "a capture-dialog stand-in registered (Z9100MntTwnActive)");
    Press(bench, 1);
    Step(wintest::WaitUntil([&] { return dialog.commands1000 == 1; }, 3000),
         "button pressed: the dialog received WM_COMMAND 1000 (its capture button)");
    PostEvent(main, "Z9100MntTwnInactive", 0);
    Step(log.WaitFor("MONITOR_TWAIN_INACTIVE", 1, 3000), "the dialog unregistered (Z9100MntTwnInactive)");
  }

  // 2. No capture dialog: the press becomes F2 for the foreground window.
  {
    DemoWindow app("Foreground application", 700, 200);
    SetForegroundWindow(app.hwnd);
    wintest::WaitUntil([&] { return GetForegroundWindow() == app.hwnd; }, 3000);
    Press(bench, 1);
    Step(wintest::WaitUntil([&] { return app.f2Up >= 1; }, 3000) && app.f2Down == 1,
         "button pressed again: the foreground application got one F2 key press");
  }

  // 3. Unplug and replug.
  bench.Unplug();
  Step(log.WaitFor("Device disconnect..", 1, 5000) && log.WaitFor("Thread killed.....", 1, 5000),
       "camera unplugged: \"Device disconnect..\", polling stopped");
  bench.Replug();
  Step(log.WaitFor("Device connect..", 2, 5000) && log.WaitFor("Thread created.....", 2, 5000),
       "camera plugged back in: \"Device connect..\", polling again");

  // 4. The disconnect warning asked for by "AudioStatus".
  wintest::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, "AudioStatus", 1);
  HWND box = nullptr;
  wintest::WaitUntil([&] { return (box = wintest::FindDialogBox(nullptr, monitor.Id())) != nullptr; }, 5000);
  if (Step(box != nullptr, "AudioStatus=1: the monitor shows its warning")) {
    Say("           text: \"%s\"", wintest::DialogText(box));
    // Keep the log window clear of the box for the pictures.
    RECT r{};
    GetWindowRect(box, &r);
    RECT m{};
    GetWindowRect(main, &m);
    SetWindowPos(box, HWND_TOP, m.right + 8 < 1024 - (r.right - r.left) ? m.right + 8 : 1024 - (r.right - r.left),
                 420, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    wintest::PumpFor(300);
    const std::string logPng = pictures + "\\monitor-log.png";
    const std::string screenPng = pictures + "\\monitor-screen.png";
    Step(wintest::SaveScreenPng(logPng, main), "picture of the log window saved: monitor-log.png");
    Step(wintest::SaveScreenPng(screenPng), "picture of the whole screen saved: monitor-screen.png");
    wintest::PressDialogButton(box, IDOK);
    DWORD status = 1;
    Step(wintest::WaitUntil(
             [&] { return wintest::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, "AudioStatus", &status) && !status; },
             3000),
         "warning dismissed: AudioStatus is 0 again");
  }

  Say("The monitor's log (runs of the polling cycle's \"AudioStatus = 0\" shown once):");
  std::string last;
  for (const auto& line : log.Lines()) {
    if (line == last && line.rfind("AudioStatus = ", 0) == 0) continue;
    Say("  | %s", line);
    last = line;
  }

  PostMessageA(main, WM_CLOSE, 0, 0);
  DWORD code = 1;
  Step(monitor.Wait(8000, &code) && code == 0, "WM_CLOSE: the monitor stopped its threads and ended");
  wintest::DeleteFileIfAny(wintest::WindowsDir() + "\\StillMnt.ini");
  bench.Reset();

  Say(g_failures == 0 ? "Demonstration finished: every step as expected.%s"
                      : "Demonstration finished with failed steps.%s");
  return g_failures == 0 ? 0 : 1;
}
