// Z9CaptureDemo: the camera's main promise on the bench. The monitor polls the
// bench camera, the TWAIN host stand-in opens the capture dialog with live
// preview, the camera's button is pressed and the picture lands at the host.
// The monitor and the capture dialog are the installed ones. Saves a picture
// of the screen with the dialog and of the captured still into the folder
// given as the first argument and prints what happened.
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
const std::string kFolder = "C:\\bench\\demo";
const std::string kHostLog = kFolder + "\\twainhost.log";

std::vector<std::string> HostLog() { return wintest::ReadFileLines(kHostLog); }

std::string FirstLine(const std::string& prefix) {
  for (const std::string& l : HostLog())
    if (l.rfind(prefix, 0) == 0) return l;
  return "";
}

// Shows a saved picture in a window of its own, to photograph it.
const BITMAPINFOHEADER* g_picture = nullptr;
LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (g_picture != nullptr)
      SetDIBitsToDevice(dc, 0, 0, g_picture->biWidth, g_picture->biHeight, 0, 0, 0, g_picture->biHeight,
                        reinterpret_cast<const uint8_t*>(g_picture) + g_picture->biSize,
                        reinterpret_cast<const BITMAPINFO*>(g_picture), DIB_RGB_COLORS);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool SavePicturePng(const std::string& bmp, const std::string& png) {
  if (bmp.size() < 14 + 40) return false;
  g_picture = reinterpret_cast<const BITMAPINFOHEADER*>(bmp.data() + 14);
  WNDCLASSA wc{};
  wc.lpfnWndProc = PictureProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "Z9CaptureDemoPicture";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0,
                                g_picture->biWidth, g_picture->biHeight, nullptr, nullptr, wc.hInstance, nullptr);
  wintest::PumpFor(400);
  const bool ok = wintest::SaveScreenPng(png, window);
  DestroyWindow(window);
  g_picture = nullptr;
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string pictures = argc > 1 ? argv[1] : wintest::ExeDir();
  std::printf("The capture chain on the bench camera: button -> Z9100Mnt -> capture dialog -> TWAIN host\n");

  z9bench::Bench bench;
  if (!demo::Step(bench.Open(15000) && bench.Reset(), "the bench camera is installed and answers")) return 1;
  wintest::RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, "FriendlyName", "Opticam, Q7710C USB Camera");
  wintest::MakeDirs(kFolder);
  wintest::DeleteFileIfAny(kHostLog);
  wintest::DeleteFileIfAny(kFolder + "\\picture_001.bmp");

  wintest::Process monitor;
  HWND main = demo::StartInstalledMonitor(&monitor, bench);
  if (main == nullptr) return 1;

  wintest::Process host;
  const std::string dialogDll = demo::InstalledCaptureDialog();
  demo::Step(demo::FileExists(dialogDll) && host.Start("\"" + wintest::ExeDir() + "\\twainhost.exe\" /log=" + kHostLog +
                                                  " /out=" + kFolder + " \"/dll=" + dialogDll + "\""),
       "the TWAIN host stand-in started (twainhost.exe loads the installed " + dialogDll + ", calls CreateUIDlg)");
  const bool opened = wintest::WaitUntil([] { return !FirstLine("create ").empty(); }, 15000);
  demo::Step(opened && FirstLine("create ") != "create 0", "the capture dialog is open and registered with the monitor");
  demo::Step(!FirstLine("info ").empty(), "the host got the image information: " + FirstLine("info "));
  HWND dialog = wintest::WaitForWindow("#32770", "Opticam, Q7710C USB Camera", 5000);
  demo::Step(dialog != nullptr, "the dialog shows the camera's live video");
  wintest::PumpFor(2000);
  demo::Step(wintest::SaveScreenPng(pictures + "\\demo-capture-dialog.png"), "picture of the screen saved: demo-capture-dialog.png");

  const uint32_t before = demo::ButtonRequests(bench);
  wintest::WaitUntil([&] { return demo::ButtonRequests(bench) >= before + 2; }, 5000);
  bench.PushButtons({1});
  demo::Step(true, "the camera's button is pressed (the bench answers the next poll with state 1)");
  const bool arrived = wintest::WaitUntil([] { return !FirstLine("dib ").empty(); }, 8000);
  demo::Step(arrived, "the picture arrived at the host: " + FirstLine("dib "));
  wintest::PumpFor(1000);
  int pictures_at_host = 0;
  for (const std::string& l : HostLog()) pictures_at_host += l.rfind("dib ", 0) == 0;
  demo::Step(pictures_at_host == 1, "exactly one picture for one press");
  std::string bmp;
  if (demo::Step(wintest::ReadFileBytes(kFolder + "\\picture_001.bmp", &bmp), "saved by the host as " + kFolder +
                                                                               "\\picture_001.bmp"))
    demo::Step(SavePicturePng(bmp, pictures + "\\demo-captured-still.png"), "picture of the still saved: demo-captured-still.png");

  HWND hostWindow = wintest::WaitForWindow("Z9TwainHost", nullptr, 1000);
  PostMessageA(hostWindow, WM_CLOSE, 0, 0);
  DWORD code = 1;
  demo::Step(host.Wait(10000, &code) && code == 0 && !FirstLine("remove ").empty(),
       "the host closed the dialog (RemoveUIDlg) and ended");
  PostMessageA(main, WM_CLOSE, 0, 0);
  demo::Step(monitor.Wait(8000, &code) && code == 0, "the monitor ended");
  bench.Reset();
  std::printf(demo::Failures() == 0 ? "Capture chain: every step as expected.\n" : "Capture chain: failed steps.\n");
  return demo::Failures() == 0 ? 0 : 1;
}
