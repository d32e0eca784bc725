// Z9CameraAppDemo: the camera's button with no program open. The monitor polls
// the bench camera; a press starts the camera application (App Paths
// "YouCam", as the setup program wrote it), which opens the capture dialog; a second press saves a picture
// in the user's picture folder, shown in the application's window. Saves a
// picture of the screen into the folder given as the first argument.
// Exit code 0 when every step went as expected.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "bench_client.h"
#include "installation.h"
#include "wintest.h"

namespace {

constexpr char kSettingsKey[] = "Software\\RidEva\\Z9100";
constexpr char kCameraName[] = "Opticam, Q7710C USB Camera";
constexpr char kAppClass[] = "Z9100LApWndClass";

std::string NewestPicture(const std::string& folder) {
  std::string newest;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\Picture *.bmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return newest;
  do
    if (newest.empty() || std::string(found.cFileName) > newest) newest = found.cFileName;
  while (FindNextFileA(find, &found));
  FindClose(find);
  return newest;
}

void PressWhenPolled(z9bench::Bench& bench, uint8_t state) {
  const uint32_t before = demo::ButtonRequests(bench);
  wintest::WaitUntil([&] { return demo::ButtonRequests(bench) >= before + 2; }, 5000);
  bench.PushButtons({state});
}

}  // namespace

int main(int argc, char** argv) {
  const std::string pictures = argc > 1 ? argv[1] : wintest::ExeDir();
  std::printf("The camera application: button (nothing open) -> Z9100Mnt -> Z9100LAp.exe; button -> picture\n");

  z9bench::Bench bench;
  if (!demo::Step(bench.Open(15000) && bench.Reset(), "the bench camera is installed and answers")) return 1;
  wintest::RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, "FriendlyName", kCameraName);
  const std::string app = demo::CameraApplication();
  demo::Step(demo::FileExists(app), "App Paths \"YouCam\" names the installed camera application " + app);
  char folder[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, folder, 0x27 /* CSIDL_MYPICTURES */, FALSE);
  const std::string before = NewestPicture(folder);

  wintest::Process monitor;
  HWND main = demo::StartInstalledMonitor(&monitor, bench);
  if (main == nullptr) return 1;

  PressWhenPolled(bench, 11);
  demo::Step(true, "the camera's button is pressed with no program open (the bench answers state 11)");
  HWND window = wintest::WaitForWindow(kAppClass, nullptr, 15000);
  demo::Step(window != nullptr, "the monitor started the camera application Z9100LAp.exe");
  HWND dialog = wintest::WaitForWindow("#32770", kCameraName, 15000);
  // The dialog registers with the monitor at the end of its start, after
  // its status bar has its first text.
  const bool started = wintest::WaitUntil(
      [&] {
        HWND status = dialog != nullptr ? wintest::FindChildByClass(dialog, "msctls_statusbar32") : nullptr;
        return status != nullptr && wintest::WindowText(status).rfind("Image Size", 0) == 0;
      },
      15000);
  demo::Step(dialog != nullptr && started, "the application shows the capture dialog with the camera's live video");
  wintest::PumpFor(2000);

  PressWhenPolled(bench, 1);
  demo::Step(true, "the camera's button is pressed again");
  std::string saved;
  const bool savedOne = wintest::WaitUntil(
      [&] {
        saved = NewestPicture(folder);
        return !saved.empty() && saved != before;
      },
      10000);
  demo::Step(savedOne, "the application saved the picture: " + std::string(folder) + "\\" + saved);
  wintest::PumpFor(1500);
  demo::Step(wintest::SaveScreenPng(pictures + "\\demo-camera-app.png"), "picture of the screen saved: demo-camera-app.png");

  DWORD code = 1;
  if (window != nullptr) PostMessageA(window, WM_CLOSE, 0, 0);
  demo::Step(wintest::WaitForNoWindow(kAppClass, nullptr, 10000) && (dialog == nullptr || !IsWindow(dialog)),
       "the application closed the dialog and ended");
  PostMessageA(main, WM_CLOSE, 0, 0);
  demo::Step(monitor.Wait(8000, &code) && code == 0, "the monitor ended");
  bench.Reset();
  std::printf(demo::Failures() == 0 ? "Camera application: every step as expected.\n" : "Camera application: failed steps.\n");
  return demo::Failures() == 0 ? 0 : 1;
}
