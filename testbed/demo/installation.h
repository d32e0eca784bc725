// Where the demonstrations find the installed camera software: the way the
// system itself finds it (the Run entry the logon starts, App Paths "YouCam"
// the monitor starts) and where the setup program puts the TWAIN side; and
// the steps they share (step lines, the monitor started as at logon).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "bench_client.h"
#include "bench_setup.h"
#include "wintest.h"

namespace demo {

inline constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The command line the logon starts the monitor with; empty when nothing is installed.
inline std::string MonitorCommandLine() {
  std::string command;
  if (!wintest::RegGetString(HKEY_LOCAL_MACHINE, kRunKey, "Z9100Mnt", &command)) command.clear();
  return command;
}

// The camera application App Paths "YouCam" names; empty when there is none.
inline std::string CameraApplication() {
  std::string path;
  if (!wintest::RegGetString(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam, nullptr, &path)) path.clear();
  return path;
}

// The capture dialog's library beside the installed data source.
inline std::string InstalledCaptureDialog() { return wintest::WindowsDir() + "\\TWAIN_32\\Z9100\\Z9100Twn.dll"; }

inline bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The demonstrations' step lines: "[ok]" or "[FAILED]" and what was checked;
// Failures() counts the failed ones for the program's exit code.
inline int& Failures() {
  static int failures = 0;
  return failures;
}

inline bool Step(bool ok, const std::string& what) {
  std::printf("  %s %s\n", ok ? "[ok]    " : "[FAILED]", what.c_str());
  std::fflush(stdout);
  if (!ok) ++Failures();
  return ok;
}

// How many button-state requests the camera has answered so far.
inline uint32_t ButtonRequests(z9bench::Bench& bench) {
  Z9B_COUNTERS c{};
  bench.GetCounters(&c);
  return c.byKind[Z9B_KIND_BUTTON];
}

// Starts the monitor the way the logon does (the Run entry's command line) and
// waits until its window is up and it polls the camera. Null when it is not.
inline HWND StartInstalledMonitor(wintest::Process* monitor, z9bench::Bench& bench) {
  const std::string command = MonitorCommandLine();
  Step(!command.empty() && monitor->Start(command), "Z9100Mnt.exe started as the Run entry names it: " + command);
  HWND main = wintest::WaitForWindow("Z9100MntWndClass", "Z9100Mnt", 10000);
  if (!Step(main != nullptr, "the monitor's window is up")) return nullptr;
  Step(wintest::WaitUntil([&] { return ButtonRequests(bench) >= 3; }, 8000), "the monitor polls the camera's button");
  return main;
}

}  // namespace demo
