// What the monitor's end-to-end tests share: the real Z9100Mnt.exe started in
// the prefix with its log switched on, its log list box read from outside,
// the bench camera reset around every test, the settings key and
// "StillMnt.ini" prepared, and test windows of the test's own.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench_client.h"
#include "bench_setup.h"
#include "wintest.h"

namespace mnttest {

constexpr char kSettingsKey[] = "Software\\RidEva\\Z9100";
constexpr char kIni[] = "StillMnt.ini";
constexpr char kMainClass[] = "Z9100MntWndClass";
constexpr char kMainTitle[] = "Z9100Mnt";
constexpr char kMessengerClass[] = "SpyHookClass";
constexpr char kMessengerTitle[] = "SpyHookWindow";
constexpr char kCameraAppLog[] = "C:\\bench\\youcam.log";
constexpr char kWarning[] = "Please disconnect device for 5 sec(s).";

// The monitor's log, read line by line from another process. Lines are only
// ever added, so each refresh reads just the new ones.
class LogView {
 public:
  void Attach(HWND list);
  HWND list() const { return list_; }
  // Reads the lines added since the last refresh; false when the list is gone.
  bool Refresh();
  size_t Size();
  std::vector<std::string> Lines();
  // Occurrences of `line` (whole lines) at index `from` and later.
  int Count(const std::string& line, size_t from = 0);
  // Lines starting with `prefix`, from `from` on.
  int CountPrefix(const std::string& prefix, size_t from = 0);
  // Index of the first `line` at or after `from`, or -1.
  int Find(const std::string& line, size_t from = 0);
  // Waits until `line` occurs at least `times` times from `from` on.
  bool WaitFor(const std::string& line, DWORD timeoutMs, int times = 1, size_t from = 0);
  // The lines from `from` on, one per line, for failure messages.
  std::string Dump(size_t from = 0, size_t max = 80);

 private:
  HWND list_ = nullptr;
  std::vector<std::string> lines_;
};

// A top-level window of the test: what a capture dialog or a foreground
// application sees of the monitor's events.
class TestWindow {
 public:
  explicit TestWindow(const char* title);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  int Commands(WPARAM id) const;  // WM_COMMAND with this wParam
  int CommandsWithLParam() const;  // WM_COMMAND whose lParam is not 0
  int F2Downs() const { return f2Down_; }
  int F2Ups() const { return f2Up_; }
  void Clear();
  // Shows the window and brings it to the foreground.
  bool MakeForeground();

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND hwnd_ = nullptr;
  std::vector<WPARAM> commands_;
  std::vector<LPARAM> lParams_;
  int f2Down_ = 0;
  int f2Up_ = 0;
};

class MonitorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Settings of HKLM "Software\RidEva\Z9100" (the key exists in every test).
  void SetSetting(const char* name, DWORD value);
  void SetSettingText(const char* name, const std::string& value);
  DWORD Setting(const char* name);
  void SetIni(const char* section, const char* key, const char* value);

  // Starts Z9100Mnt.exe and waits for its window, its list box and, in debug
  // mode, its first log line.
  bool Start();
  // Posts WM_CLOSE and waits for the process to end.
  bool Close(DWORD timeoutMs = 8000, DWORD* exitCode = nullptr);
  DWORD ProcessId() const { return monitor.Id(); }
  // Threads the monitor process has now (Wine's own threads included).
  int ThreadCount();
  // Suspends every thread of the monitor but its window's and returns their
  // handles; ResumeThreads lets them go on. Holds the shutdown inside its
  // wait for the polling thread, where the window still answers.
  std::vector<HANDLE> SuspendWorkerThreads();
  static void ResumeThreads(std::vector<HANDLE>* threads);

  // Posts WM_COMMAND with a registered message's id.
  void PostEvent(const char* messageName, LPARAM lParam = 0);
  // Sends a device-interface notice as the system would: the wide form (what
  // Wine sends to every window) or the ANSI form (what Windows sends to a
  // window of an ANSI class).
  bool SendInterfaceNotice(WPARAM event, const std::wstring& path);
  bool SendInterfaceNotice(WPARAM event, const std::string& path);
  // Sends WM_POWERBROADCAST; returns the window's answer.
  LRESULT SendPower(WPARAM event, DWORD timeoutMs = 5000);

  // Counters of the bench camera.
  Z9B_COUNTERS Counters();
  uint32_t ButtonRequests() { return Counters().byKind[Z9B_KIND_BUTTON]; }
  bool WaitButtonRequests(uint32_t atLeast, DWORD timeoutMs);
  // Waits for `n` more polling cycles (their "AudioStatus = " lines).
  bool WaitPollingCycles(int n, DWORD timeoutMs);
  // The camera's capture interface path as the system names it.
  std::string CameraPath();
  // Starts of the camera application recorded so far.
  int CameraAppStarts();

  z9bench::Bench bench;
  wintest::Process monitor;
  LogView log;
  HWND window = nullptr;
  bool debugMode = true;  // set before Start()
};

// Starts of `line` in the file (CRLF lines).
int CountFileLines(const std::string& path, const std::string& prefix);

}  // namespace mnttest
