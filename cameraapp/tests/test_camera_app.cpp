// The camera application on the bench camera: started by the monitor when the
// button is pressed with the camera not open, each press then saves the
// camera's still under a new name; a second start hands over to the first;
// closing with the dialog open, or the dialog's "&Exit", ends it cleanly.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <imaging/still.h>

#include "bench_client.h"
#include "bench_setup.h"
#include "settings.h"
#include "still_pattern.h"
#include "stream_control.h"
#include "test_support.h"
#include "video_inputs.h"
#include "wintest.h"

namespace {

constexpr char kAppClass[] = "Z9100LApWndClass";
constexpr char kCameraName[] = "Opticam, Q7710C USB Camera";

std::string MyPictures() {
  char path[MAX_PATH] = {};
  SHGetSpecialFolderPathA(nullptr, path, 0x27 /* CSIDL_MYPICTURES */, FALSE);
  return path;
}

// The application's pictures in the folder, sorted by name.
std::vector<std::string> Pictures(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\Picture *.bmp").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do names.push_back(found.cFileName);
  while (FindNextFileA(find, &found));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

// The counter of a name "Picture YYYY-MM-DD HH.MM.SS NNN.bmp"; 0 when the name
// does not follow the pattern.
unsigned CounterOf(const std::string& name) {
  unsigned y, mo, d, h, mi, s, n;
  char tail[8] = {};
  if (name.size() != 35 || std::sscanf(name.c_str(), "Picture %4u-%2u-%2u %2u.%2u.%2u %3u%7s", &y, &mo, &d, &h, &mi,
                                       &s, &n, tail) != 8 || std::strcmp(tail, ".bmp") != 0)
    return 0;
  return mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h < 24 && mi < 60 && s < 60 ? n : 0;
}

std::string NameAt(const SYSTEMTIME& t, unsigned counter) {
  char name[64];
  std::snprintf(name, sizeof name, "Picture %04u-%02u-%02u %02u.%02u.%02u %03u.bmp", t.wYear, t.wMonth, t.wDay,
                t.wHour, t.wMinute, t.wSecond, counter);
  return name;
}

SYSTEMTIME LocalTimeIn(int seconds) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME ft;
  SystemTimeToFileTime(&now, &ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  t.QuadPart += static_cast<LONGLONG>(seconds) * 10000000;
  ft.dwLowDateTime = t.LowPart;
  ft.dwHighDateTime = t.HighPart;
  SYSTEMTIME out;
  FileTimeToSystemTime(&ft, &out);
  return out;
}

// The bench's colour bars as the camera's YUY2 still, and the picture the
// application must save of it.
std::vector<uint8_t> ColourBarsYuy2(uint32_t w, uint32_t h) {
  std::vector<uint8_t> p(z9b_pattern_size(Z9B_STILL_YUY2, w, h));
  z9b_pattern_draw(p.data(), Z9B_STILL_YUY2, w, h);
  return p;
}

class CameraApp : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bench_.Open(15000));
    ASSERT_TRUE(bench_.Reset());
    z9bench::ResetStreamSettings();
    std::string error;
    ASSERT_TRUE(z9bench::ResetVideoInputs(&error)) << error;
    ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "FriendlyName", kCameraName));
    wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "DeviceStatus", 0);
    // The prefix registers the bench's stand-in for the monitor's own tests;
    // here the monitor starts the real application.
    hadAppPath_ = wintest::RegGetString(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam, nullptr, &oldAppPath_);
    ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam, nullptr, AppPath()));
    folder_ = MyPictures();
    ASSERT_FALSE(folder_.empty());
    DeletePictures();

    const std::vector<uint8_t> payload = ColourBarsYuy2(640, 480);
    Z9B_STILL_UPLOAD up = {};
    up.format = z9::STICAP_YUY2;
    up.width = 640;
    up.height = 480;
    up.flags = Z9B_UPLOAD_STICKY;
    up.payloadLength = static_cast<uint32_t>(payload.size());
    ASSERT_TRUE(bench_.UploadStill(up, payload.data(), payload.size()));
    const std::vector<uint8_t> dib =
        z9::imgtest::PictureOfStill(z9::imgtest::MakeStill(z9::STICAP_YUY2, 640, 480, payload));
    expected_.assign(reinterpret_cast<const char*>(dib.data()), dib.size());
  }

  void TearDown() override {
    if (HWND w = FindWindowA(kAppClass, nullptr)) {
      PostMessageA(w, WM_CLOSE, 0, 0);
      wintest::WaitForNoWindow(kAppClass, nullptr, 8000);
    }
    if (app_ != nullptr) {
      if (WaitForSingleObject(app_, 2000) != WAIT_OBJECT_0) TerminateProcess(app_, 1);
      CloseHandle(app_);
    }
    if (HWND m = FindWindowA("Z9100MntWndClass", "Z9100Mnt")) PostMessageA(m, WM_CLOSE, 0, 0);
    monitor_.Wait(8000);
    wintest::IniWrite("StillMnt.ini", "Debug", "DebugMode", "0");
    if (hadAppPath_) wintest::RegSetString(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam, nullptr, oldAppPath_);
    else wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam);
    DeletePictures();
    bench_.Reset();
  }

  static std::string AppPath() { return wintest::ExeDir() + "\\Z9100LAp.exe"; }

  void DeletePictures() {
    for (const std::string& n : Pictures(folder_)) wintest::DeleteFileIfAny(folder_ + "\\" + n);
  }

  // The application's main window and capture dialog, once both are up; the
  // process is kept for its end.
  bool WaitForApp(DWORD timeoutMs, HWND* window, HWND* dialog) {
    *window = wintest::WaitForWindow(kAppClass, nullptr, timeoutMs);
    if (*window == nullptr) return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(*window, &pid);
    if (app_ == nullptr) app_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
    *dialog = wintest::WaitForWindow("#32770", kCameraName, timeoutMs);
    return *dialog != nullptr && GetParent(*dialog) == *window;
  }

  bool AppEnds(DWORD timeoutMs, DWORD* code) {
    return app_ != nullptr && WaitForSingleObject(app_, timeoutMs) == WAIT_OBJECT_0 && GetExitCodeProcess(app_, code);
  }

  std::string Read(const std::string& name) {
    std::string bytes;
    return wintest::ReadFileBytes(folder_ + "\\" + name, &bytes) ? bytes : "<none>";
  }

  ::testing::AssertionResult IsTheStill(const std::string& name) {
    const std::string bytes = Read(name);
    if (bytes.size() != 14 + expected_.size())
      return ::testing::AssertionFailure() << name << ": " << bytes.size() << " bytes, expected " << 14 + expected_.size();
    if (bytes.compare(0, 2, "BM") != 0 || bytes.compare(14, std::string::npos, expected_) != 0)
      return ::testing::AssertionFailure() << name << " is not the camera's still";
    return ::testing::AssertionSuccess();
  }

  // The file appears before its bytes are all written.
  ::testing::AssertionResult IsTheStillOnceWritten(const std::string& name) {
    wintest::WaitUntil([&] { return Read(name).size() >= 14 + expected_.size(); }, 5000);
    return IsTheStill(name);
  }

  z9bench::Bench bench_;
  wintest::Process monitor_;
  HANDLE app_ = nullptr;
  std::string folder_;
  std::string expected_;
  bool hadAppPath_ = false;
  std::string oldAppPath_;
};

TEST_F(CameraApp, StartedByTheButtonSavesEveryPressUnderANewName) {
  // The monitor's log tells when the dialog has registered for the button.
  ASSERT_TRUE(wintest::IniWrite("StillMnt.ini", "Debug", "DebugMode", "1"));
  ASSERT_TRUE(monitor_.Start("\"" + wintest::ExeDir() + "\\Z9100Mnt.exe\""));
  HWND monitorWindow = wintest::WaitForWindow("Z9100MntWndClass", "Z9100Mnt", 10000);
  ASSERT_NE(monitorWindow, nullptr);
  HWND monitorLog = nullptr;
  ASSERT_TRUE(wintest::WaitUntil(
      [&] { return (monitorLog = wintest::FindChildByClass(monitorWindow, "ListBox")) != nullptr; }, 5000));
  Z9B_COUNTERS c0 = {};
  bench_.GetCounters(&c0);
  ASSERT_TRUE(wintest::WaitUntil(
      [&] {
        Z9B_COUNTERS c = {};
        bench_.GetCounters(&c);
        return c.byKind[Z9B_KIND_BUTTON] >= c0.byKind[Z9B_KIND_BUTTON] + 3;
      },
      10000))
      << "the monitor does not poll";

  // A press with the camera not open: the monitor starts the application,
  // which opens the capture dialog on its window.
  ASSERT_TRUE(bench_.PushButtons({11}));
  HWND window = nullptr, dialog = nullptr;
  ASSERT_TRUE(WaitForApp(15000, &window, &dialog)) << "the camera application did not come up with its dialog";
  ASSERT_NE(wintest::WaitForListLine(monitorLog, "MONITOR_TWAIN_ACTIVE", 15000), -1)
      << "the dialog did not register with the monitor";

  // A press now: the camera's still, byte for byte, under the first name.
  ASSERT_TRUE(bench_.PushButtons({1}));
  ASSERT_TRUE(wintest::WaitUntil([&] { return Pictures(folder_).size() == 1; }, 10000)) << "no picture in " << folder_;
  const std::string first = Pictures(folder_)[0];
  EXPECT_EQ(CounterOf(first), 1u) << first;
  EXPECT_TRUE(IsTheStillOnceWritten(first));
  // The window names the file.
  const std::string label = wintest::WindowText(wintest::FindChildByClass(window, "Static"));
  EXPECT_NE(label.find(folder_ + "\\" + first), std::string::npos) << label;

  // Whatever already carries the next number stays untouched: the next
  // picture takes the number after it.
  std::vector<std::string> taken;
  for (int s = -2; s <= 30; ++s) taken.push_back(NameAt(LocalTimeIn(s), 2));
  for (const std::string& n : taken) ASSERT_TRUE(wintest::WriteFileBytes(folder_ + "\\" + n, "keep"));
  const size_t before = Pictures(folder_).size();
  ASSERT_TRUE(bench_.PushButtons({1}));
  ASSERT_TRUE(wintest::WaitUntil([&] { return Pictures(folder_).size() == before + 1; }, 10000))
      << "no second picture";
  std::string second;
  for (const std::string& n : Pictures(folder_))
    if (n != first && std::find(taken.begin(), taken.end(), n) == taken.end()) second = n;
  EXPECT_EQ(CounterOf(second), 3u) << second;
  EXPECT_TRUE(IsTheStillOnceWritten(second));
  for (const std::string& n : taken) EXPECT_EQ(Read(n), "keep") << n;
  EXPECT_NE(wintest::WindowText(wintest::FindChildByClass(window, "Static")).find(second), std::string::npos);

  // Closing with the dialog open: the dialog goes first, then the program ends.
  PostMessageA(window, WM_CLOSE, 0, 0);
  DWORD code = 99;
  ASSERT_TRUE(AppEnds(10000, &code)) << "the application did not end";
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(FindWindowA(kAppClass, nullptr), nullptr);
  EXPECT_EQ(Pictures(folder_).size(), before + 1);
}

TEST_F(CameraApp, ASecondStartBringsTheFirstToTheFrontAndTheDialogsExitEndsIt) {
  wintest::Process first;
  ASSERT_TRUE(first.Start("\"" + AppPath() + "\""));
  HWND window = nullptr, dialog = nullptr;
  ASSERT_TRUE(WaitForApp(15000, &window, &dialog));
  ShowWindow(window, SW_MINIMIZE);
  wintest::PumpFor(300);

  wintest::Process second;
  ASSERT_TRUE(second.Start("\"" + AppPath() + "\""));
  DWORD code = 99;
  ASSERT_TRUE(second.Wait(10000, &code)) << "the second copy did not end";
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(wintest::WindowsOfProcess(second.Id(), kAppClass).empty());
  EXPECT_EQ(wintest::WindowsOfProcess(first.Id(), kAppClass).size(), 1u);
  EXPECT_FALSE(IsIconic(window)) << "the first copy was not restored";
  DWORD foreground = 0;
  GetWindowThreadProcessId(GetForegroundWindow(), &foreground);
  EXPECT_EQ(foreground, first.Id()) << "the first copy is not in front";

  // The dialog's "&Exit" asks its host to close: the application ends.
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(first.Wait(10000, &code)) << "the application did not end on the dialog's Exit";
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(CameraApp, WithoutTheCaptureDialogLibraryItSaysSoAndEnds) {
  const std::string alone = "C:\\z9app_alone";
  ASSERT_TRUE(wintest::MakeDirs(alone));
  ASSERT_TRUE(CopyFileA(AppPath().c_str(), (alone + "\\Z9100LAp.exe").c_str(), FALSE));
  wintest::Process app;
  wintest::MessageBoxWatcher box("Error", 0, IDOK, 15000);
  ASSERT_TRUE(app.Start("\"" + alone + "\\Z9100LAp.exe\""));
  EXPECT_TRUE(box.Wait(15000));
  EXPECT_EQ(box.Text(),
            "The camera's capture dialog (Z9100Twn.dll) cannot be loaded. Please install the camera software again.");
  DWORD code = 0;
  ASSERT_TRUE(app.Wait(10000, &code));
  EXPECT_EQ(code, 2u);
  EXPECT_EQ(FindWindowA(kAppClass, nullptr), nullptr);
  wintest::DeleteFileIfAny(alone + "\\Z9100LAp.exe");
  RemoveDirectoryA(alone.c_str());
}

}  // namespace
