// Z9TwainDemo: a TWAIN application acquires the camera's still through the
// source manager. The monitor polls the bench camera, the bench's TWAIN
// application (twainapp.exe) opens the camera's source, whose capture dialog
// shows the live video; the camera's button is pressed, the application gets
// MSG_XFERREADY, takes the picture by a native transfer, saves it and shows
// it. The monitor and the source are the installed ones. Saves a picture of the screen into the folder given as the first
// argument. Exit code 0 when every step went as expected.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_client.h"
#include "installation.h"
#include "wintest.h"

namespace {

constexpr char kSettingsKey[] = "Software\\RidEva\\Z9100";
constexpr char kCamera[] = "Opticam, Q7710C USB Camera";
const std::string kFolder = "C:\\bench\\demo";
const std::string kAppLog = kFolder + "\\twainapp.log";
const std::string kPicture = kFolder + "\\twain-acquired.bmp";

std::string FirstLine(const std::string& prefix) {
  for (const std::string& l : wintest::ReadFileLines(kAppLog))
    if (l.rfind(prefix, 0) == 0) return l;
  return "";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string pictures = argc > 1 ? argv[1] : wintest::ExeDir();
  std::printf("A TWAIN application on the bench camera: twainapp -> source manager -> Z9100Cam.ds -> capture dialog\n");
  z9bench::Bench bench;
  if (!demo::Step(bench.Open(15000) && bench.Reset(), "the bench camera is installed and answers")) return 1;
  wintest::RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, "FriendlyName", kCamera);
  wintest::MakeDirs(kFolder);
  wintest::DeleteFileIfAny(kAppLog);
  wintest::DeleteFileIfAny(kPicture);

  wintest::Process monitor;
  HWND main = demo::StartInstalledMonitor(&monitor, bench);
  if (main == nullptr) return 1;

  wintest::Process app;
  demo::Step(app.Start("\"" + wintest::ExeDir() + "\\twainapp.exe\" /log=" + kAppLog + " /out=" + kPicture +
                 " /linger=3000"),
       "the bench's TWAIN application started (twainapp.exe, DSM_Entry of twain_32.dll only)");
  const bool opened = wintest::WaitUntil([] { return !FirstLine("opened ").empty(); }, 15000);
  demo::Step(opened, "it listed the sources and opened the camera's: " + FirstLine("opened "));
  HWND dialog = wintest::WaitForWindow("#32770", kCamera, 15000);
  const bool enabled = wintest::WaitUntil([] { return !FirstLine("enabled ").empty(); }, 15000);
  demo::Step(dialog != nullptr && enabled, "the source shows its capture dialog (MSG_ENABLEDS: " + FirstLine("enabled ") + ")");
  wintest::PumpFor(1500);

  const uint32_t before = demo::ButtonRequests(bench);
  wintest::WaitUntil([&] { return demo::ButtonRequests(bench) >= before + 2; }, 5000);
  bench.PushButtons({1});
  demo::Step(true, "the camera's button is pressed");
  const bool told = wintest::WaitUntil([] { return !FirstLine("notice ").empty(); }, 10000);
  demo::Step(told && FirstLine("notice ") == "notice 257", "the application got MSG_XFERREADY");
  const bool saved = wintest::WaitUntil([] { return !FirstLine("saved ").empty(); }, 10000);
  demo::Step(saved, "native transfer: " + FirstLine("picture "));
  demo::Step(saved, "the picture saved as " + kPicture);
  wintest::PumpFor(800);
  demo::Step(wintest::SaveScreenPng(pictures + "\\demo-twain-acquire.png"),
       "picture of the screen saved: demo-twain-acquire.png");
  DWORD code = 1;
  demo::Step(app.Wait(15000, &code) && code == 0 && !FirstLine("done").empty(),
       "the application disabled and closed the source and ended");
  PostMessageA(main, WM_CLOSE, 0, 0);
  demo::Step(monitor.Wait(8000, &code) && code == 0, "the monitor ended");
  bench.Reset();
  std::printf(demo::Failures() == 0 ? "TWAIN acquisition: every step as expected.\n" : "TWAIN acquisition: failed steps.\n");
  return demo::Failures() == 0 ? 0 : 1;
}
