// The whole chain on the bench: the monitor polls the camera, the host
// stand-in has the capture dialog open, the camera's button is pressed and
// the picture lands at the host; after the dialog closes the next press is
// the monitor's F2 instead.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <imaging/still.h>

#include "bench_client.h"
#include "settings.h"
#include "still_pattern.h"
#include "stream_control.h"
#include "test_support.h"
#include "video_inputs.h"
#include "wintest.h"

namespace {

const std::string kFolder = "C:\\bench\\e2e";
const std::string kHostLog = kFolder + "\\host.log";

std::vector<std::string> HostLog() { return wintest::ReadFileLines(kHostLog); }

int CountLines(const std::string& prefix) {
  int n = 0;
  for (const std::string& l : HostLog()) n += l.rfind(prefix, 0) == 0;
  return n;
}

// The bench's colour bars as a YUY2 payload.
std::vector<uint8_t> ColourBarsYuy2(uint32_t w, uint32_t h) {
  std::vector<uint8_t> p(z9b_pattern_size(Z9B_STILL_YUY2, w, h));
  z9b_pattern_draw(p.data(), Z9B_STILL_YUY2, w, h);
  return p;
}

// A window of the test's own that records F2 key presses.
int g_f2 = 0;
LRESULT CALLBACK KeyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_KEYDOWN && wParam == VK_F2) ++g_f2;
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Shows a saved DIB in a window so that it can be photographed.
const BITMAPINFOHEADER* g_shown = nullptr;
LRESULT CALLBACK ShowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (g_shown != nullptr)
      SetDIBitsToDevice(dc, 0, 0, g_shown->biWidth, g_shown->biHeight, 0, 0, 0, g_shown->biHeight,
                        reinterpret_cast<const uint8_t*>(g_shown) + 40, reinterpret_cast<const BITMAPINFO*>(g_shown),
                        DIB_RGB_COLORS);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

TEST(EndToEnd, ButtonPressLandsOnePictureAtTheHostThenF2AfterTheDialogCloses) {
  z9bench::Bench bench;
  ASSERT_TRUE(bench.Open(15000));
  ASSERT_TRUE(bench.Reset());
  z9bench::ResetStreamSettings();
  std::string error;
  ASSERT_TRUE(z9bench::ResetVideoInputs(&error)) << error;
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "FriendlyName",
                                    "Opticam, Q7710C USB Camera"));
  wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "DeviceStatus", 0);
  wintest::MakeDirs(kFolder);
  wintest::DeleteFileIfAny(kHostLog);
  wintest::DeleteFileIfAny(kFolder + "\\picture_001.bmp");

  // The camera's still: its colour bars in YUY2, every time.
  const std::vector<uint8_t> payload = ColourBarsYuy2(640, 480);
  Z9B_STILL_UPLOAD up = {};
  up.format = z9::STICAP_YUY2;
  up.width = 640;
  up.height = 480;
  up.flags = Z9B_UPLOAD_STICKY;
  up.payloadLength = static_cast<uint32_t>(payload.size());
  ASSERT_TRUE(bench.UploadStill(up, payload.data(), payload.size()));

  // The monitor, polling.
  wintest::Process monitor;
  ASSERT_TRUE(monitor.Start("\"" + wintest::ExeDir() + "\\Z9100Mnt.exe\""));
  ASSERT_NE(wintest::WaitForWindow("Z9100MntWndClass", "Z9100Mnt", 10000), nullptr);
  Z9B_COUNTERS c0 = {};
  bench.GetCounters(&c0);
  ASSERT_TRUE(wintest::WaitUntil(
      [&] {
        Z9B_COUNTERS c = {};
        bench.GetCounters(&c);
        return c.byKind[Z9B_KIND_BUTTON] >= c0.byKind[Z9B_KIND_BUTTON] + 3;
      },
      10000))
      << "the monitor does not poll";

  // The host with the dialog open.
  wintest::Process host;
  ASSERT_TRUE(host.Start("\"" + wintest::ExeDir() + "\\twainhost.exe\" /log=" + kHostLog + " /out=" + kFolder));
  ASSERT_TRUE(wintest::WaitUntil([] { return CountLines("info ") == 1; }, 15000)) << "the dialog did not open";
  ASSERT_EQ(CountLines("create 1"), 1);
  HWND dialog = wintest::WaitForWindow("#32770", "Opticam, Q7710C USB Camera", 5000);
  ASSERT_NE(dialog, nullptr);
  wintest::PumpFor(500);  // the registration reaches the monitor

  // One press: exactly one picture at the host, equal to the camera's still.
  ASSERT_TRUE(bench.PushButtons({1}));
  ASSERT_TRUE(wintest::WaitUntil([] { return CountLines("dib ") >= 1; }, 8000)) << "no picture at the host";
  wintest::PumpFor(1500);
  EXPECT_EQ(CountLines("dib "), 1);
  EXPECT_EQ(CountLines("info "), 2);
  std::string bmp;
  ASSERT_TRUE(wintest::ReadFileBytes(kFolder + "\\picture_001.bmp", &bmp));
  const std::vector<uint8_t> dib =
      z9::imgtest::PictureOfStill(z9::imgtest::MakeStill(z9::STICAP_YUY2, 640, 480, payload));
  ASSERT_EQ(bmp.size(), 14 + dib.size());
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_TRUE(std::memcmp(bmp.data() + 14, dib.data(), dib.size()) == 0);

#ifdef Z9_PICTURES_DIR
  {
    g_shown = reinterpret_cast<const BITMAPINFOHEADER*>(bmp.data() + 14);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ShowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Z9ShowStill";
    RegisterClassA(&wc);
    HWND shown = CreateWindowExA(WS_EX_TOPMOST, "Z9ShowStill", "", WS_POPUP | WS_VISIBLE, 300, 200, 640, 480,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    wintest::PumpFor(400);
    wintest::SaveScreenPng(std::string(Z9_PICTURES_DIR) + "\\capture-still.png", shown);
    DestroyWindow(shown);
    g_shown = nullptr;
  }
#endif

  // The host closes the dialog and ends.
  PostMessageA(wintest::WaitForWindow("Z9TwainHost", nullptr, 2000), WM_CLOSE, 0, 0);
  DWORD code = 1;
  ASSERT_TRUE(host.Wait(10000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(CountLines("remove 1"), 1);
  EXPECT_FALSE(IsWindow(dialog));

  // The next press is the monitor's F2 for the foreground window.
  WNDCLASSA kc = {};
  kc.lpfnWndProc = KeyProc;
  kc.hInstance = GetModuleHandleA(nullptr);
  kc.lpszClassName = "Z9F2Target";
  RegisterClassA(&kc);
  HWND target = CreateWindowExA(0, "Z9F2Target", "F2 target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(target);
  SetFocus(target);
  wintest::PumpFor(300);
  g_f2 = 0;
  ASSERT_TRUE(bench.PushButtons({1}));
  EXPECT_TRUE(wintest::WaitUntil([] { return g_f2 > 0; }, 5000));
  wintest::PumpFor(500);
  EXPECT_EQ(g_f2, 1);
  EXPECT_EQ(CountLines("dib "), 1);
  DestroyWindow(target);

  PostMessageA(wintest::WaitForWindow("Z9100MntWndClass", "Z9100Mnt", 1000), WM_CLOSE, 0, 0);
  monitor.Wait(8000);
  bench.Reset();
}

}  // namespace
