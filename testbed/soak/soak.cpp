// Z9Soak: long runs of the monitor and of the capture chain on the bench
// camera, watched from outside the processes.
//
// Monitor (one Z9100Mnt.exe for every phase, without its log window):
//   - unplug / replug cycles: each unplug must end the polling thread, each
//     replug start polling again;
//   - button states in blocks, alternately with a test window registered as
//     the capture dialog (it counts the capture commands) and without one
//     (a foreground window counts the F2 key presses); the camera
//     application's starts are counted by the bench's stand-in. Each block's
//     account must match what the polling rules make of its states exactly;
//   - suspend / resume pairs (every other one with the camera unplugged and
//     replugged while suspended), each followed by one press.
// Capture: the TWAIN host stand-in with the capture dialog open; each press
// must bring exactly one picture, equal to the still the camera delivered
// for it (a different still for every press).
// DLLs: in this process, each of the three DLL deliverables loaded, used as
// its host uses it (the capture dialog opened and removed on a window of this
// process, a property page made and released) and freed, again and again.
//
// For every phase the table gives the handles, threads and private memory of
// the process from outside at the start and at the end; handles and threads
// must come back to their start values, the host's private memory must stay
// within a bound of its value after the first ten presses.
//
//   Z9Soak.exe [/cycles=N] [/states=N] [/suspends=N] [/presses=N]
//              [/dllcycles=N] [/seed=N] [/membound=KiB] [/short] [/debuglog]
//   defaults: 200 cycles, 10000 states, 50 pairs, 500 presses, 1000 DLL
//   cycles, 4096 KiB; /short: 5 cycles, 200 states, 3 pairs, 10 presses,
//   3 DLL cycles.
//   A count of 0 leaves its phase out. Exit code 0 when nothing failed.
#include <windows.h>
#include <objbase.h>

#include <imaging/still.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "bench_client.h"
#include "bench_setup.h"
#include "button_script.h"
#include "dll_cycles.h"
#include "process_stats.h"
#include "settings.h"
#include "still_pattern.h"
#include "test_support.h"
#include "wintest.h"

namespace {

using z9soak::ProcessStats;

constexpr char kMainClass[] = "Z9100MntWndClass";
constexpr char kMainTitle[] = "Z9100Mnt";
constexpr char kCameraAppLog[] = "C:\\bench\\youcam.log";
constexpr WPARAM kCaptureCommand = 1000;
constexpr UINT kPbtQuerySuspend = 0;
constexpr UINT kPbtSuspend = 4;
constexpr UINT kPbtResumeSuspend = 7;
const std::string kHostFolder = "C:\\bench\\soak";
const std::string kHostLog = kHostFolder + "\\twainhost.log";

struct Options {
  int cycles = 200;
  int states = 10000;
  int suspends = 50;
  int presses = 500;
  int dllCycles = 1000;
  uint32_t seed = 9100;
  int64_t memBoundKiB = 4096;
  bool debugLog = false;
};

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char* name, long long* out) {
      const size_t n = std::strlen(name);
      if (a.compare(0, n, name) != 0) return false;
      char* end = nullptr;
      *out = std::strtoll(a.c_str() + n, &end, 10);
      return end != nullptr && *end == '\0' && *out >= 0 && *out <= 10000000;
    };
    long long v = 0;
    if (a == "/short") {
      o->cycles = 5;
      o->states = 200;
      o->suspends = 3;
      o->presses = 10;
      o->dllCycles = 3;
    } else if (a == "/debuglog") {
      o->debugLog = true;
    } else if (value("/cycles=", &v)) {
      o->cycles = static_cast<int>(v);
    } else if (value("/states=", &v)) {
      o->states = static_cast<int>(v);
    } else if (value("/suspends=", &v)) {
      o->suspends = static_cast<int>(v);
    } else if (value("/presses=", &v)) {
      o->presses = static_cast<int>(v);
    } else if (value("/dllcycles=", &v)) {
      o->dllCycles = static_cast<int>(v);
    } else if (value("/seed=", &v)) {
      o->seed = static_cast<uint32_t>(v);
    } else if (value("/membound=", &v)) {
      o->memBoundKiB = v;
    } else {
      std::printf("unknown option %s\n", a.c_str());
      return false;
    }
  }
  return true;
}

void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

double Seconds(DWORD since) { return (GetTickCount() - since) / 1000.0; }

// --- the test's windows: a capture-dialog stand-in and a foreground application

struct WindowCounts {
  int commands = 0;  // WM_COMMAND with the capture command
  int otherCommands = 0;
  int f2Downs = 0;
  int f2Ups = 0;
};

LRESULT CALLBACK CountingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* counts = reinterpret_cast<WindowCounts*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (counts != nullptr) {
    if (msg == WM_COMMAND) (wp == kCaptureCommand && lp == 0 ? counts->commands : counts->otherCommands)++;
    if (msg == WM_KEYDOWN && wp == VK_F2) ++counts->f2Downs;
    if (msg == WM_KEYUP && wp == VK_F2) ++counts->f2Ups;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

class CountingWindow {
 public:
  explicit CountingWindow(const char* title) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Z9SoakWindow";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassA(&wc);  // the second window finds it registered
    hwnd_ = CreateWindowExA(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, 500, 300, 300, 200, nullptr, nullptr,
                            wc.hInstance, nullptr);
    if (hwnd_) SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&counts_));
  }
  ~CountingWindow() {
    if (hwnd_) DestroyWindow(hwnd_);
  }
  CountingWindow(const CountingWindow&) = delete;
  CountingWindow& operator=(const CountingWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  const WindowCounts& counts() const { return counts_; }
  bool MakeForeground() {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(hwnd_);
    return wintest::WaitUntil([&] { return GetForegroundWindow() == hwnd_; }, 3000);
  }

 private:
  HWND hwnd_ = nullptr;
  WindowCounts counts_;
};

// --- the table

struct Row {
  Row(std::string p, std::string pr, long ops) : phase(std::move(p)), process(std::move(pr)), operations(ops) {}
  std::string phase;
  std::string process;
  long operations = 0;
  double seconds = 0;
  int failures = 0;
  long standinHandles = 0;  // the bench Ksproxy.ax's own semaphores in the end figure
  long wineHandles = 0;  // what Wine's device enumerator and filter graph leave at each opening
  ProcessStats start, end;
};

std::string Figure(long v) { return v < 0 ? "n/a" : std::to_string(v); }

std::string Memory(int64_t bytes) {
  if (bytes < 0) return "n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", bytes / 1048576.0);
  return text;
}

void PrintTable(const std::vector<Row>& rows) {
  Say("\n| Phase | Process | Operations | Duration | Failures | Handles start/end | Threads start/end | Private memory "
      "start/end |\n");
  Say("|---|---|---:|---:|---:|---:|---:|---:|\n");
  for (const Row& r : rows)
    Say("| %s | %s | %ld | %.1f s | %d | %s / %s%s | %s / %s | %s / %s |\n", r.phase.c_str(), r.process.c_str(),
        r.operations, r.seconds, r.failures, Figure(r.start.handles).c_str(), Figure(r.end.handles).c_str(),
        r.standinHandles      ? (" (" + std::to_string(r.standinHandles) + " stand-in)").c_str()
        : r.wineHandles       ? (" (" + std::to_string(r.wineHandles) + " Wine's)").c_str()
                              : "",
        Figure(r.start.threads).c_str(), Figure(r.end.threads).c_str(), Memory(r.start.privateBytes).c_str(),
        Memory(r.end.privateBytes).c_str());
}

// --- the run

class Soak {
 public:
  explicit Soak(const Options& o) : opt_(o) {}
  int Run();

 private:
  bool Prepare();
  bool StartMonitor();
  void PlugCycles();
  void ButtonStates();
  void SuspendResume();
  void Capture();
  void DllCycles();
  void CheckDllCycles(Row* row, const std::vector<unsigned>& handlesBefore);
  void Finish();

  // Counted from outside.
  uint32_t ButtonRequests();
  uint32_t StatesPopped();
  int CameraAppStarts();
  ProcessStats Measure(DWORD pid) { return z9soak::MeasureProcess(pid, handleSource_); }
  // The figures once handles and threads are back at `start` (or after 5 s).
  ProcessStats Settled(DWORD pid, const ProcessStats& start);
  void Fail(Row* row, const char* format, ...);
  // Lists the handles of `pid` that are not in `before`, with type and name.
  void ReportNewHandles(DWORD pid, const std::vector<unsigned>& before);
  // Checks the phase's end figures against its start.
  // `channelLoads`: loads of the bench's Ksproxy.ax in the phase (one per
  // polling thread started); each may leave the stand-in's own semaphores.
  void CheckReturned(Row* row, DWORD pid, const std::vector<unsigned>& handlesBefore, long channelLoads = 0);
  bool MeasureStandinLeak();
  void WarmUp();
  void PostToMonitor(const char* messageName, LPARAM lParam);
  LRESULT SendPower(WPARAM event);
  bool WaitPolls(uint32_t more, DWORD timeoutMs);
  bool UnplugAndReplug(Row* row, int cycle);
  bool PushStates(const std::vector<uint8_t>& states, Row* row);

  Options opt_;
  z9bench::Bench bench_;
  wintest::Process monitor_;
  HWND monitorWindow_ = nullptr;
  z9soak::HandleSource handleSource_ = z9soak::HandleSource::None;
  CountingWindow* dialog_ = nullptr;
  CountingWindow* app_ = nullptr;
  std::vector<Row> rows_;
  int failures_ = 0;
  // The event account over all monitor phases.
  int expectedCommands_ = 0, expectedF2_ = 0, expectedLaunches_ = 0;
  int launchesBefore_ = 0;
  uint32_t pushed_ = 0, poppedBefore_ = 0;
  int picturesExpected_ = 0, picturesGot_ = 0, picturesEqual_ = 0;
  long standinLeakPerLoad_ = 0;
};

void Soak::ReportNewHandles(DWORD pid, const std::vector<unsigned>& before) {
  std::vector<unsigned> now = z9soak::HandleValues(pid);
  int shown = 0;
  for (unsigned v : now) {
    if (std::find(before.begin(), before.end(), v) != before.end()) continue;
    if (++shown > 8) {
      Say("    ...\n");
      break;
    }
    Say("    new handle %#x: %s\n", v, z9soak::DescribeHandle(pid, v).c_str());
  }
}

void Soak::Fail(Row* row, const char* format, ...) {
  ++row->failures;
  ++failures_;
  if (row->failures > 10) return;  // the count says the rest
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  Say("  FAILED (%s): %s\n", row->phase.c_str(), text);
}

bool IsUnnamedSemaphore(DWORD pid, unsigned value) { return z9soak::DescribeHandle(pid, value) == "Semaphore "; }

void Soak::CheckReturned(Row* row, DWORD pid, const std::vector<unsigned>& handlesBefore, long channelLoads) {
  ProcessStats expected = row->start;
  const long standin = channelLoads * standinLeakPerLoad_;
  if (expected.handles >= 0) expected.handles += standin;
  row->end = Settled(pid, expected);
  bool ok = row->end.handles == expected.handles && row->end.threads == row->start.threads;
  if (ok && standin > 0) {
    // The stand-in's share: exactly that many new handles, all of them its
    // unnamed semaphores.
    long semaphores = 0;
    for (unsigned v : z9soak::HandleValues(pid))
      if (std::find(handlesBefore.begin(), handlesBefore.end(), v) == handlesBefore.end())
        semaphores += IsUnnamedSemaphore(pid, v) ? 1 : 1000000;
    ok = semaphores == standin;
  }
  if (row->end.handles >= 0) row->standinHandles = standin;
  if (ok) return;
  Fail(row, "%s: handles %ld -> %ld (%ld of the bench's Ksproxy.ax allowed), threads %ld -> %ld", row->process.c_str(),
       row->start.handles, row->end.handles, standin, row->start.threads, row->end.threads);
  ReportNewHandles(pid, handlesBefore);
}

// The bench's Ksproxy.ax is a mingw-built DLL; its static runtime leaves a
// semaphore behind at every load and unload (the win32-thread mutexes of
// libgcc and libstdc++ are never closed). The monitor loads it once per
// polling thread, so its handle count grows by that much per thread start,
// none of it the monitor's own. Measured here, in this process, after a first
// load that takes the one-time costs.
bool Soak::MeasureStandinLeak() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, MAX_PATH);
  const std::string path = std::string(dir) + "\\ksproxy.ax";
  for (const char* dll : {"setupapi.dll", "ole32.dll", "oleaut32.dll"}) LoadLibraryA(dll);  // stay loaded
  HMODULE first = LoadLibraryA(path.c_str());
  if (first == nullptr) {
    Say("cannot load %s\n", path.c_str());
    return false;
  }
  FreeLibrary(first);
  const DWORD self = GetCurrentProcessId();
  const std::vector<unsigned> before = z9soak::HandleValues(self);
  constexpr int kLoads = 4;
  for (int i = 0; i < kLoads; ++i) FreeLibrary(LoadLibraryA(path.c_str()));
  long semaphores = 0, others = 0;
  for (unsigned v : z9soak::HandleValues(self))
    if (std::find(before.begin(), before.end(), v) == before.end()) (IsUnnamedSemaphore(self, v) ? semaphores : others)++;
  if (others != 0 || semaphores % kLoads != 0) {
    Say("the bench's Ksproxy.ax leaves an irregular set of handles at its unloads (%ld semaphores, %ld others "
        "over %d loads)\n", semaphores, others, kLoads);
    return false;
  }
  standinLeakPerLoad_ = semaphores / kLoads;
  Say("bench Ksproxy.ax: %ld semaphore(s) left behind per load and unload (its static runtime), allowed for in the "
      "monitor's handle figures\n", standinLeakPerLoad_);
  return true;
}

uint32_t Soak::ButtonRequests() {
  Z9B_COUNTERS c{};
  return bench_.GetCounters(&c) ? c.byKind[Z9B_KIND_BUTTON] : 0;
}

uint32_t Soak::StatesPopped() {
  Z9B_COUNTERS c{};
  return bench_.GetCounters(&c) ? c.buttonsPopped : 0;
}

int Soak::CameraAppStarts() {
  std::string text;
  if (!wintest::ReadFileBytes(kCameraAppLog, &text)) return 0;
  int n = 0;
  for (size_t at = 0; (at = text.find("started: ", at)) != std::string::npos; at += 9) n += at == 0 || text[at - 1] == '\n';
  return n;
}

ProcessStats Soak::Settled(DWORD pid, const ProcessStats& start) {
  ProcessStats now = Measure(pid);
  wintest::WaitUntil(
      [&] {
        now = Measure(pid);
        return now.handles == start.handles && now.threads == start.threads;
      },
      5000, 100);
  return now;
}

void Soak::PostToMonitor(const char* messageName, LPARAM lParam) {
  PostMessageA(monitorWindow_, WM_COMMAND, RegisterWindowMessageA(messageName), lParam);
}

LRESULT Soak::SendPower(WPARAM event) {
  DWORD_PTR answer = 0xBAD;
  if (!SendMessageTimeoutA(monitorWindow_, WM_POWERBROADCAST, event, 0, SMTO_NORMAL, 10000, &answer)) return 0xBAD;
  return static_cast<LRESULT>(answer);
}

bool Soak::WaitPolls(uint32_t more, DWORD timeoutMs) {
  const uint32_t target = ButtonRequests() + more;
  return wintest::WaitUntil([&] { return ButtonRequests() >= target; }, timeoutMs, 10);
}

bool Soak::Prepare() {
  if (!bench_.Open(15000) || !bench_.Reset()) {
    Say("the bench camera is not available (error %lu)\n", bench_.LastError());
    return false;
  }
  if (!z9bench::WaitForCaptureInterface(z9bench::kCameraInstanceId, true, 10000)) {
    Say("the bench camera's capture interface is missing\n");
    return false;
  }
  // A monitor left running by someone else would answer in place of ours.
  if (HWND stray = FindWindowA(kMainClass, nullptr)) {
    PostMessageA(stray, WM_CLOSE, 0, 0);
    if (!wintest::WaitForNoWindow(kMainClass, nullptr, 8000)) {
      Say("a monitor is running already and does not end; the soak needs its own\n");
      return false;
    }
  }
  wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath);
  wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "AudioStatus", 0);
  wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "DeviceStatus", 0);
  wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "PlaySound", 0);
  wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "FriendlyName", z9bench::kFriendlyName);
  const std::string ini = wintest::WindowsDir() + "\\StillMnt.ini";
  wintest::DeleteFileIfAny(ini);
  if (opt_.debugLog) wintest::IniWrite("StillMnt.ini", "Debug", "DebugMode", "1");
  std::string app;
  if (!wintest::RegGetString(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam, nullptr, &app)) {
    Say("the camera application stand-in is not registered (App Paths)\n");
    return false;
  }
  return true;
}

bool Soak::StartMonitor() {
  if (!monitor_.Start("\"" + wintest::ExeDir() + "\\Z9100Mnt.exe\"")) {
    Say("cannot start Z9100Mnt.exe\n");
    return false;
  }
  wintest::WaitUntil(
      [&] {
        auto windows = wintest::WindowsOfProcess(monitor_.Id(), kMainClass);
        if (!windows.empty()) monitorWindow_ = windows.front();
        return monitorWindow_ != nullptr;
      },
      10000);
  if (monitorWindow_ == nullptr || !WaitPolls(3, 10000)) {
    Say("the monitor did not start polling the camera\n");
    return false;
  }
  handleSource_ = z9soak::ChooseHandleSource(monitor_.Id());
  Say("monitor: process %lu; handle count from %s; private memory from GetProcessMemoryInfo\n",
      monitor_.Id(), z9soak::HandleSourceName(handleSource_));
  return true;
}

// One cycle: the unplug ends the polling thread, the replug starts polling
// again (and the new thread is past its two quiet cycles).
bool Soak::UnplugAndReplug(Row* row, int cycle) {
  const long threads = z9soak::CountThreads(monitor_.Id());
  if (!bench_.Unplug()) {
    Fail(row, "cycle %d: the bench refused the unplug (error %lu)", cycle, bench_.LastError());
    return false;
  }
  bool ok = true;
  if (!wintest::WaitUntil([&] { return z9soak::CountThreads(monitor_.Id()) <= threads - 1; }, 5000, 10)) {
    Fail(row, "cycle %d: the polling thread did not end after the unplug (%ld threads before, %ld now)", cycle,
         threads, z9soak::CountThreads(monitor_.Id()));
    ok = false;
  }
  if (!bench_.Replug()) {
    Fail(row, "cycle %d: the bench refused the replug (error %lu)", cycle, bench_.LastError());
    return false;
  }
  if (!WaitPolls(3, 5000)) {
    Fail(row, "cycle %d: polling did not start again after the replug", cycle);
    ok = false;
  }
  return ok;
}

void Soak::PlugCycles() {
  Row row{"Monitor: unplug/replug cycles", "Z9100Mnt.exe", opt_.cycles};
  Say("monitor: %d unplug/replug cycles\n", opt_.cycles);
  row.start = Measure(monitor_.Id());
  const std::vector<unsigned> handles = z9soak::HandleValues(monitor_.Id());
  const int commands = dialog_->counts().commands, f2 = app_->counts().f2Downs;
  const DWORD t0 = GetTickCount();
  for (int i = 1; i <= opt_.cycles && monitor_.Running(); ++i) {
    UnplugAndReplug(&row, i);
    if (i % 50 == 0) Say("  %d cycles, %.0f s\n", i, Seconds(t0));
  }
  row.seconds = Seconds(t0);
  if (!monitor_.Running()) Fail(&row, "the monitor ended");
  if (dialog_->counts().commands != commands || app_->counts().f2Downs != f2)
    Fail(&row, "events without a press: %d capture commands, %d F2", dialog_->counts().commands - commands,
         app_->counts().f2Downs - f2);
  CheckReturned(&row, monitor_.Id(), handles, opt_.cycles);
  rows_.push_back(row);
}

// Pushes `states` in the script's pushes, never more than the queue holds.
bool Soak::PushStates(const std::vector<uint8_t>& states, Row* row) {
  const bool room = wintest::WaitUntil(
      [&] { return pushed_ - (StatesPopped() - poppedBefore_) + states.size() <= Z9B_BUTTON_QUEUE; }, 60000, 20);
  uint32_t queued = 0;
  if (!room || !bench_.PushButtons(states.data(), states.size(), &queued)) {
    Fail(row, "the bench took no more states (%u pushed, %u read)", pushed_, StatesPopped() - poppedBefore_);
    return false;
  }
  pushed_ += static_cast<uint32_t>(states.size());
  return true;
}

void Soak::ButtonStates() {
  Row row{"Monitor: button states", "Z9100Mnt.exe", opt_.states};
  const int blocks = opt_.states >= 2000 ? 10 : 2;
  Say("monitor: %d button states in %d blocks, alternately with and without a registered capture dialog\n",
      opt_.states, blocks);
  row.start = Measure(monitor_.Id());
  const std::vector<unsigned> handles = z9soak::HandleValues(monitor_.Id());
  const DWORD t0 = GetTickCount();
  pushed_ = 0;
  poppedBefore_ = StatesPopped();
  uint32_t seed = opt_.seed;
  int done = 0;
  for (int b = 0; b < blocks && monitor_.Running(); ++b) {
    const int count = opt_.states * (b + 1) / blocks - done;
    done += count;
    const bool registered = b % 2 == 0;
    if (registered) {
      PostToMonitor("Z9100MntTwnActive", reinterpret_cast<LPARAM>(dialog_->hwnd()));
    } else {
      PostToMonitor("Z9100MntTwnInactive", 0);
      if (!app_->MakeForeground()) Fail(&row, "block %d: the F2 window could not be made the foreground", b + 1);
    }
    const auto script = z9soak::MakeButtonScript(static_cast<size_t>(count), seed++);
    z9soak::EventAccount block;
    for (const auto& push : script) {
      const z9soak::EventAccount a = z9soak::ExpectedEvents(push);
      block.snapshots += a.snapshots;
      block.launches += a.launches;
      block.logged += a.logged;
      if (a.threadEnds) Fail(&row, "block %d: the script would end the polling thread", b + 1);
    }
    (registered ? expectedCommands_ : expectedF2_) += block.snapshots;
    expectedLaunches_ += block.launches;
    const int commands = dialog_->counts().commands, f2 = app_->counts().f2Downs;
    const int launches = CameraAppStarts();
    const DWORD tb = GetTickCount();
    for (const auto& push : script)
      if (!PushStates(push, &row)) break;
    // Every state read, then the cycle after the last one and its pause.
    const DWORD allow = 20000 + static_cast<DWORD>(count) * 400;
    if (!wintest::WaitUntil([&] { return StatesPopped() - poppedBefore_ >= pushed_; }, allow, 50))
      Fail(&row, "block %d: %u of %u states read", b + 1, StatesPopped() - poppedBefore_, pushed_);
    WaitPolls(2, 3000);
    auto settled = [&] {
      return dialog_->counts().commands - commands >= (registered ? block.snapshots : 0) &&
             app_->counts().f2Downs - f2 >= (registered ? 0 : block.snapshots) &&
             CameraAppStarts() - launches >= block.launches;
    };
    wintest::WaitUntil(settled, 30000, 50);
    wintest::PumpFor(300);
    const int gotCommands = dialog_->counts().commands - commands;
    const int gotF2 = app_->counts().f2Downs - f2;
    const int gotLaunches = CameraAppStarts() - launches;
    Say("  block %d (%s): %d states in %.0f s; capture commands %d of %d, F2 %d of %d, application starts %d of %d "
        "(%d states 2/3 acted on)\n",
        b + 1, registered ? "dialog registered" : "no dialog", count, Seconds(tb), gotCommands,
        registered ? block.snapshots : 0, gotF2, registered ? 0 : block.snapshots, gotLaunches, block.launches,
        block.logged);
    if (gotCommands != (registered ? block.snapshots : 0) || gotF2 != (registered ? 0 : block.snapshots) ||
        gotLaunches != block.launches)
      Fail(&row, "block %d: the account does not match (see the line above)", b + 1);
  }
  row.seconds = Seconds(t0);
  if (!monitor_.Running()) Fail(&row, "the monitor ended");
  if (app_->counts().f2Ups != app_->counts().f2Downs)
    Fail(&row, "%d F2 key-downs but %d key-ups", app_->counts().f2Downs, app_->counts().f2Ups);
  CheckReturned(&row, monitor_.Id(), handles);
  rows_.push_back(row);
}

void Soak::SuspendResume() {
  Row row{"Monitor: suspend/resume pairs", "Z9100Mnt.exe", opt_.suspends};
  Say("monitor: %d suspend/resume pairs (every other one with the camera unplugged and replugged meanwhile), one "
      "press after each\n",
      opt_.suspends);
  PostToMonitor("Z9100MntTwnActive", reinterpret_cast<LPARAM>(dialog_->hwnd()));
  row.start = Measure(monitor_.Id());
  const std::vector<unsigned> handles = z9soak::HandleValues(monitor_.Id());
  const DWORD t0 = GetTickCount();
  for (int i = 1; i <= opt_.suspends && monitor_.Running(); ++i) {
    if (SendPower(kPbtQuerySuspend) != 0 || SendPower(kPbtSuspend) != 0)
      Fail(&row, "pair %d: the suspend notices were not answered with 0", i);
    if (i % 2 == 0) UnplugAndReplug(&row, i);
    if (SendPower(kPbtResumeSuspend) != 0) Fail(&row, "pair %d: the resume notice was not answered with 0", i);
    if (!WaitPolls(3, 5000)) {
      Fail(&row, "pair %d: no polling after the resume", i);
      continue;
    }
    const int commands = dialog_->counts().commands;
    ++expectedCommands_;
    pushed_ += 2;
    if (!bench_.PushButtons({1, 0})) Fail(&row, "pair %d: the bench took no press", i);
    if (!wintest::WaitUntil([&] { return dialog_->counts().commands == commands + 1; }, 5000, 20))
      Fail(&row, "pair %d: the press after the resume gave %d capture commands", i,
           dialog_->counts().commands - commands);
  }
  row.seconds = Seconds(t0);
  if (!monitor_.Running()) Fail(&row, "the monitor ended");
  WaitPolls(2, 3000);
  CheckReturned(&row, monitor_.Id(), handles, opt_.suspends / 2);
  rows_.push_back(row);
}

// One operation of each kind before the measured phases: Wine makes some of
// its own handles the first time a program needs them (the plug-and-play
// notices, the shell's start of a program, the keyboard input).
void Soak::WarmUp() {
  Row row("Warm-up: one operation of each kind", "Z9100Mnt.exe", 4);
  Say("warm-up: one unplug/replug, a press and an application start to the dialog, an F2, a suspend/resume\n");
  row.start = Measure(monitor_.Id());
  const DWORD t0 = GetTickCount();
  UnplugAndReplug(&row, 0);
  PostToMonitor("Z9100MntTwnActive", reinterpret_cast<LPARAM>(dialog_->hwnd()));
  const int commands = dialog_->counts().commands, launches = CameraAppStarts();
  ++expectedCommands_;
  ++expectedLaunches_;
  pushed_ += 6;
  if (!bench_.PushButtons({1, 0, 11, 0, 2, 0}) ||
      !wintest::WaitUntil(
          [&] { return dialog_->counts().commands > commands && CameraAppStarts() > launches; }, 15000))
    Fail(&row, "no capture command or no application start");
  PostToMonitor("Z9100MntTwnInactive", 0);
  app_->MakeForeground();
  const int f2 = app_->counts().f2Downs;
  ++expectedF2_;
  pushed_ += 2;
  WaitPolls(2, 3000);
  if (!bench_.PushButtons({1, 0}) || !wintest::WaitUntil([&] { return app_->counts().f2Ups > f2; }, 5000))
    Fail(&row, "no F2");
  if (SendPower(kPbtQuerySuspend) != 0 || SendPower(kPbtSuspend) != 0 || SendPower(kPbtResumeSuspend) != 0)
    Fail(&row, "the power notices were not answered with 0");
  WaitPolls(3, 5000);
  row.seconds = Seconds(t0);
  row.end = Measure(monitor_.Id());
  rows_.push_back(row);
}

// --- capture

// The still of press `n`: the bench's colour bars in YUY2 with the press's
// number in the first pixels, so that a stale picture shows.
std::vector<uint8_t> StillPayload(int n) {
  constexpr uint32_t w = 640, h = 480;
  std::vector<uint8_t> p(z9b_pattern_size(Z9B_STILL_YUY2, w, h));
  z9b_pattern_draw(p.data(), Z9B_STILL_YUY2, w, h);
  for (int bit = 0; bit < 16; ++bit) p[static_cast<size_t>(bit) * 2] = (n >> bit) & 1 ? 235 : 16;
  return p;
}

// The picture the host must save for `payload`: the 40-byte still header the
// camera sends, decoded to a bottom-up DIB.
std::string ExpectedBmp(const std::vector<uint8_t>& payload) {
  const std::vector<uint8_t> dib =
      z9::imgtest::PictureOfStill(z9::imgtest::MakeStill(z9::STICAP_YUY2, 640, 480, payload));
  return std::string(dib.begin(), dib.end());
}

int HostPictures() {
  std::string bytes;
  if (!wintest::ReadFileBytes(kHostLog, &bytes)) return 0;
  int n = 0;
  for (size_t at = 0; (at = bytes.find("\ndib ", at)) != std::string::npos; ++at) ++n;
  return n;
}

void Soak::Capture() {
  Row row{"Capture: presses, dialog open", "twainhost.exe", opt_.presses};
  Say("capture: %d presses with the capture dialog open at the TWAIN host stand-in\n", opt_.presses);
  wintest::MakeDirs(kHostFolder);
  wintest::DeleteFileIfAny(kHostLog);
  wintest::Process host;
  if (!host.Start("\"" + wintest::ExeDir() + "\\twainhost.exe\" /log=" + kHostLog + " /out=" + kHostFolder)) {
    Fail(&row, "cannot start twainhost.exe");
    rows_.push_back(row);
    return;
  }
  auto opened = [] {
    std::string b;
    return wintest::ReadFileBytes(kHostLog, &b) && b.find("\ncreate 1") != std::string::npos;
  };
  if (!wintest::WaitUntil(opened, 20000)) {
    Fail(&row, "the capture dialog did not open");
    rows_.push_back(row);
    return;
  }
  wintest::PumpFor(800);  // the dialog's registration reaches the monitor
  Row monitorRow{"Capture: presses, dialog open", "Z9100Mnt.exe", opt_.presses};
  monitorRow.start = Measure(monitor_.Id());
  const std::vector<unsigned> monitorHandles = z9soak::HandleValues(monitor_.Id());
  std::vector<unsigned> hostHandles;
  const DWORD t0 = GetTickCount();
  for (int i = 1; i <= opt_.presses; ++i) {
    const std::vector<uint8_t> payload = StillPayload(i);
    Z9B_STILL_UPLOAD up{};
    up.format = z9::STICAP_YUY2;
    up.width = 640;
    up.height = 480;
    up.flags = Z9B_UPLOAD_STICKY;
    up.payloadLength = static_cast<uint32_t>(payload.size());
    if (!bench_.UploadStill(up, payload.data(), payload.size())) {
      Fail(&row, "press %d: the bench took no still", i);
      continue;
    }
    // Past the quiet cycle after the previous press.
    WaitPolls(2, 3000);
    const int before = HostPictures();
    ++picturesExpected_;
    if (!bench_.PushButtons({1, 0})) {
      Fail(&row, "press %d: the bench took no press", i);
      continue;
    }
    if (!wintest::WaitUntil([&] { return HostPictures() > before; }, 10000, 10)) {
      Fail(&row, "press %d: no picture at the host", i);
      continue;
    }
    picturesGot_ += HostPictures() - before;
    char name[64];
    std::snprintf(name, sizeof name, "\\picture_%03d.bmp", before + 1);
    std::string bmp;
    const std::string file = kHostFolder + name;
    if (!wintest::ReadFileBytes(file, &bmp) || bmp.size() < 14 || bmp.compare(14, std::string::npos, ExpectedBmp(payload)) != 0)
      Fail(&row, "press %d: %s differs from the still (%zu bytes)", i, file.c_str(), bmp.size());
    else
      ++picturesEqual_;
    wintest::DeleteFileIfAny(file);
    if (i == std::min(10, opt_.presses)) {
      WaitPolls(3, 3000);  // the press's work at the host and the dialog has ended
      row.start = Measure(host.Id());
      hostHandles = z9soak::HandleValues(host.Id());
    }
    if (i % 100 == 0) Say("  %d presses, %.0f s\n", i, Seconds(t0));
  }
  // A late extra picture would show now.
  WaitPolls(3, 3000);
  wintest::PumpFor(500);
  const int extra = HostPictures() - picturesGot_;
  picturesGot_ += extra;
  if (extra != 0) Fail(&row, "%d pictures more than presses", extra);
  row.seconds = monitorRow.seconds = Seconds(t0);
  CheckReturned(&row, host.Id(), hostHandles);
  if (row.start.privateBytes >= 0 && row.end.privateBytes >= 0 &&
      row.end.privateBytes - row.start.privateBytes > opt_.memBoundKiB * 1024)
    Fail(&row, "the host's private memory grew by %.1f MiB (bound %lld KiB)",
         (row.end.privateBytes - row.start.privateBytes) / 1048576.0, static_cast<long long>(opt_.memBoundKiB));
  CheckReturned(&monitorRow, monitor_.Id(), monitorHandles);
  PostMessageA(wintest::WaitForWindow("Z9TwainHost", nullptr, 2000), WM_CLOSE, 0, 0);
  DWORD code = 1;
  if (!host.Wait(15000, &code) || code != 0) Fail(&row, "the host did not end cleanly (exit code %lu)", code);
  bench_.ClearUpload();
  rows_.push_back(row);
  rows_.push_back(monitorRow);
}

// --- DLLs

// Wine 8 leaves handles of its own at every opening of the capture dialog,
// whoever opens it (dll_unload_tests and dialog_openings_tests measure them
// without product code): its device enumerator never closes the key of a
// moniker it hands out, nor of the one it fetches to see whether the category
// is empty (two keys of the camera's entry per listing), nor its own key under
// HKCU "Software\Microsoft\ActiveMovie\devenum" once that exists (one per
// listing); and a filter graph released to its last reference leaves its
// unnamed event. The DLLs' own runtime locks are unnamed semaphores: none may
// stay. Anything else new, or a thread more, fails the phase.
void Soak::CheckDllCycles(Row* row, const std::vector<unsigned>& handlesBefore) {
  const DWORD self = GetCurrentProcessId();
  ProcessStats expected = row->start;
  row->end = Settled(self, expected);
  const std::string kListKey = "\\ActiveMovie\\devenum";
  long keys = 0, listKeys = 0, events = 0, others = 0;
  for (unsigned v : z9soak::HandleValues(self)) {
    if (std::find(handlesBefore.begin(), handlesBefore.end(), v) != handlesBefore.end()) continue;
    const std::string what = z9soak::DescribeHandle(self, v);
    const bool key = what.compare(0, 4, "Key ") == 0;
    if (key && what.find("\\Instance\\Z9BenchCamera") != std::string::npos)
      ++keys;
    else if (key && what.size() > kListKey.size() &&
             what.compare(what.size() - kListKey.size(), kListKey.size(), kListKey) == 0)
      ++listKeys;
    else if (what == "Event ")
      ++events;
    else
      ++others;
  }
  const long cycles = row->operations;
  row->wineHandles = keys + listKeys + events;
  const bool handlesOk = others == 0 && keys <= 2 * cycles && listKeys <= cycles && events <= cycles;
  const bool threadsOk = row->end.threads >= 0 && row->end.threads <= row->start.threads;
  if (handlesOk && threadsOk) return;
  Fail(row, "Z9Soak.exe: handles %ld -> %ld (%ld + %ld keys and %ld events of Wine's, %ld others), "
       "threads %ld -> %ld", row->start.handles, row->end.handles, keys, listKeys, events, others, row->start.threads,
       row->end.threads);
  ReportNewHandles(self, handlesBefore);
}

void Soak::DllCycles() {
  Row row{"DLLs: Z9100Twn (CreateUIDlg/RemoveUIDlg), Z9100Dex, Z9100Rmv loaded, used, freed", "Z9Soak.exe",
          opt_.dllCycles};
  Say("dlls: %d cycles, each loading, using and freeing Z9100Twn.dll (the capture dialog opened and removed), "
      "Z9100Dex.dll (a property page made) and Z9100Rmv.dll\n",
      opt_.dllCycles);
  // As a host does, this thread keeps COM for the phase: the bench's filter
  // library stays loaded rather than leaving its own semaphores each cycle.
  const bool com = SUCCEEDED(CoInitialize(nullptr));
  CountingWindow host("capture dialog host");
  const DWORD self = GetCurrentProcessId();
  auto cycle = [&](int n) {
    for (z9soak::DllKind kind : z9soak::kAllDlls) {
      std::string error;
      if (!z9soak::CycleDll(kind, wintest::ExeDir(), host.hwnd(), &error)) Fail(&row, "cycle %d: %s", n, error.c_str());
    }
  };
  // What Wine and COM make once per process comes with the first cycles.
  for (int i = 0; i < 2; ++i) cycle(0);
  wintest::PumpFor(300);
  row.start = Measure(self);
  const std::vector<unsigned> handles = z9soak::HandleValues(self);
  const DWORD t0 = GetTickCount();
  for (int i = 1; i <= opt_.dllCycles; ++i) {
    cycle(i);
    if (i % 100 == 0) Say("  %d cycles, %.0f s\n", i, Seconds(t0));
  }
  row.seconds = Seconds(t0);
  CheckDllCycles(&row, handles);
  rows_.push_back(row);
  if (com) CoUninitialize();
}

void Soak::Finish() {
  Row row{"End: WM_CLOSE", "Z9100Mnt.exe", 1};
  const DWORD t0 = GetTickCount();
  DWORD code = 1;
  PostMessageA(monitorWindow_, WM_CLOSE, 0, 0);
  const bool ended = monitor_.Wait(10000, &code);
  row.seconds = Seconds(t0);
  if (!ended || code != 0) {
    ++failures_;
    Say("  FAILED: the monitor did not end on WM_CLOSE with exit code 0 (%s, %lu)\n", ended ? "ended" : "running",
        code);
  }
}

int Soak::Run() {
  if (!Prepare() || !MeasureStandinLeak() || !StartMonitor()) return 2;
  launchesBefore_ = CameraAppStarts();
  CountingWindow dialog("capture dialog stand-in");
  CountingWindow app("foreground application");
  dialog_ = &dialog;
  app_ = &app;
  if (!dialog.hwnd() || !app.hwnd() || !app.MakeForeground()) {
    Say("the test windows could not be made\n");
    return 2;
  }
  WarmUp();
  const DWORD t0 = GetTickCount();
  Row whole("Monitor: whole run after the warm-up", "Z9100Mnt.exe",
            opt_.cycles + opt_.states + opt_.suspends + opt_.presses);
  whole.start = Measure(monitor_.Id());
  const std::vector<unsigned> firstHandles = z9soak::HandleValues(monitor_.Id());
  if (opt_.cycles > 0) PlugCycles();
  if (opt_.states > 0) ButtonStates();
  if (opt_.suspends > 0) SuspendResume();
  if (opt_.presses > 0 && monitor_.Running()) Capture();

  // The whole account of the monitor phases.
  const int launches = CameraAppStarts() - launchesBefore_;
  const bool accountOk = dialog.counts().commands == expectedCommands_ && app.counts().f2Downs == expectedF2_ &&
                         app.counts().f2Ups == expectedF2_ && launches == expectedLaunches_ &&
                         dialog.counts().otherCommands == 0 && app.counts().commands == 0;
  PostToMonitor("Z9100MntTwnInactive", 0);
  if (monitor_.Running()) {
    whole.seconds = Seconds(t0);
    whole.failures = failures_;
    CheckReturned(&whole, monitor_.Id(), firstHandles, opt_.cycles + opt_.suspends / 2);
    failures_ = whole.failures;
    rows_.push_back(whole);
  }
  if (opt_.dllCycles > 0) DllCycles();
  Finish();

  PrintTable(rows_);
  Say("\n");
  Say("Event account (expected / counted): capture commands at the dialog stand-in %d / %d (other commands %d); "
      "F2 at the foreground window %d / %d down, %d up; camera-application starts %d / %d\n",
      expectedCommands_, dialog.counts().commands, dialog.counts().otherCommands, expectedF2_, app.counts().f2Downs,
      app.counts().f2Ups, expectedLaunches_, launches);
  if (opt_.presses > 0)
    Say("Pictures at the host: %d of %d presses, %d equal to the still delivered\n", picturesGot_,
        picturesExpected_, picturesEqual_);
  if (!accountOk) {
    ++failures_;
    Say("FAILED: the event account does not match\n");
  }
  bench_.Reset();
  wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath);
  wintest::DeleteFileIfAny(wintest::WindowsDir() + "\\StillMnt.ini");
  Say("%s: %d failure(s)\n", failures_ == 0 ? "soak passed" : "soak FAILED", failures_);
  return failures_ == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::printf("usage: Z9Soak.exe [/cycles=N] [/states=N] [/suspends=N] [/presses=N] [/dllcycles=N] [/seed=N] "
                "[/membound=KiB] [/short] [/debuglog]\n");
    return 2;
  }
  Soak soak(options);
  return soak.Run();
}
