// Where the demonstrations find the installed camera software: the way the
// system itself finds it (the Run entry the logon starts, App Paths "YouCam"
// the monitor starts) and where the setup program puts the TWAIN side.
#pragma once

#include <windows.h>

#include <string>

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

}  // namespace demo
