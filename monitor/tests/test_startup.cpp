// Start-up and shutdown of the real monitor: the log of a start with the
// camera present, the hidden mode, the settings key, the single instance and
// the end on WM_CLOSE.
#include <cstring>

#include "ks_requests.h"
#include "monitor_fixture.h"

using namespace mnttest;

namespace {

class Startup : public MonitorTest {};

TEST_F(Startup, CameraPresentLogsTheStartSequenceAndPolls) {
  SetSetting("DeviceStatus", 5);  // left behind by some other program
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitButtonRequests(3, 5000));
  ASSERT_TRUE(log.WaitFor("Thread created.....", 3000));
  ASSERT_TRUE(WaitPollingCycles(2, 3000));

  const auto lines = log.Lines();
  ASSERT_GE(lines.size(), 6u) << log.Dump();
  EXPECT_EQ(lines[0], "StillMnt_Init");
#ifdef _WIN64
  // A win64 test prefix reports Windows XP x64 (5.2), which has no name of its own.
  EXPECT_EQ(lines[1], "Unknown Windows version");
#else
  EXPECT_EQ(lines[1], "Windows XP");
#endif
  EXPECT_EQ(lines[2], "DevInstanceName = VID_FFF1&PID_A14C");
  EXPECT_EQ(lines[3], "Device connect..");
  EXPECT_EQ(lines[4], "IN CreatePollingThread") << log.Dump();
  EXPECT_EQ(log.Count("RegOpenKeyEx fail"), 0);
  EXPECT_EQ(log.Count("IN CreatePollingThread-2"), 0) << "no audio-status thread with the camera present";
  EXPECT_EQ(Setting("DeviceStatus"), 0u) << "starting the polling thread resets the status";
  EXPECT_TRUE(IsWindowVisible(window)) << "debug mode shows the window";
  EXPECT_EQ(FindWindowA(kMainClass, kMainTitle), window);
  EXPECT_EQ(GetClassLongA(window, GCL_STYLE), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_FALSE(IsWindowUnicode(window)) << "an ANSI class: Windows 98 and ME have no wide one";
  // The list box switches its scroll-bar styles itself as the lines need them.
  const DWORD scrollBars = WS_VSCROLL | WS_HSCROLL;
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(log.list(), GWL_STYLE)) & ~scrollBars, 0x50304100u & ~scrollBars);

  // The program carries its icon as resource 801.
  HMODULE image = LoadLibraryExA((wintest::ExeDir() + "\\Z9100Mnt.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_TRUE(image);
  EXPECT_TRUE(FindResourceA(image, MAKEINTRESOURCEA(801), reinterpret_cast<LPCSTR>(RT_GROUP_ICON)));
  FreeLibrary(image);
  EXPECT_FALSE(FindWindowA(kMessengerClass, nullptr)) << "no messenger window without MSNNotifySupport";

  // What reached the driver: one still-size request when the thread
  // started, then button requests exactly as the channel builds them.
  const auto c = Counters();
  EXPECT_EQ(c.byKind[Z9B_KIND_STILL_SIZE], 1u);
  std::vector<Z9B_LOG_ENTRY> entries;
  ASSERT_TRUE(bench.ReadLog(&entries));
  uint8_t expected[z9::kButtonRequestSize];
  z9::BuildButtonStateRequest(expected);
  int buttons = 0;
  for (const auto& e : entries) {
    if (e.kind != Z9B_KIND_BUTTON) continue;
    ++buttons;
    EXPECT_EQ(e.ioctl, z9::kIoctlKsProperty);
    EXPECT_EQ(e.inLength, 32u);
    EXPECT_EQ(e.outLength, 32u);
    EXPECT_EQ(std::memcmp(e.in, expected, sizeof expected), 0) << z9bench::DescribeLogEntry(e);
  }
  EXPECT_GE(buttons, 3);
}

TEST_F(Startup, WithoutTheIniFileTheMonitorRunsHiddenAndSilent) {
  debugMode = false;
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitButtonRequests(5, 5000)) << "polling runs without the log too";
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(log.Size(), 0u) << log.Dump();
}

TEST_F(Startup, DeviceIdIsMatchedWithoutRegardToCase) {
  SetSettingText("DeviceId", "vid_fff1&pid_a14c&mi_00");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(log.WaitFor("DevInstanceName = vid_fff1&pid_a14c&mi_00", 3000)) << log.Dump();
  EXPECT_TRUE(log.WaitFor("Device connect..", 3000));
  EXPECT_TRUE(WaitButtonRequests(3, 5000));
}

TEST_F(Startup, WithoutTheSettingsKeyEveryValueTakesItsDefault) {
  wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitButtonRequests(3, 5000));
  EXPECT_EQ(log.Find("DevInstanceName = VID_FFF1&PID_A14C"), 2) << log.Dump();
  EXPECT_EQ(log.Find("RegOpenKeyEx fail"), 3) << log.Dump();
  EXPECT_EQ(log.Find("Device connect.."), 4) << log.Dump();
  EXPECT_FALSE(wintest::RegKeyExists(HKEY_LOCAL_MACHINE, kSettingsKey)) << "the monitor never creates the key";
}

TEST_F(Startup, ASecondCopyExitsAtOnceAndLeavesTheFirstAlone) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitButtonRequests(2, 5000));
  const size_t before = log.Size();

  wintest::Process second;
  ASSERT_TRUE(second.Start("\"" + wintest::ExeDir() + "\\Z9100Mnt.exe\""));
  DWORD code = 99;
  ASSERT_TRUE(second.Wait(5000, &code));
  EXPECT_EQ(code, 0u);

  EXPECT_TRUE(monitor.Running());
  EXPECT_EQ(wintest::WindowsOfProcess(monitor.Id(), kMainClass).size(), 1u);
  EXPECT_EQ(FindWindowA(kMainClass, kMainTitle), window);
  EXPECT_EQ(log.Count("StillMnt_Init"), 1);
  const uint32_t requests = ButtonRequests();
  EXPECT_TRUE(WaitButtonRequests(requests + 3, 3000)) << "the first copy still polls";
  EXPECT_GT(log.Size(), before);
}

TEST_F(Startup, CloseStopsEverythingAndEndsTheProcess) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitButtonRequests(2, 5000));
  // The shutdown's lines, read while the main thread still answers (it
  // handles sent messages while it waits for the polling thread). The
  // monitor's other threads are held meanwhile, or a quick end could take
  // the window away before the test has read them.
  const size_t mark = log.Size();
  std::vector<HANDLE> held = SuspendWorkerThreads();
  ASSERT_FALSE(held.empty()) << "no polling thread to hold";
  PostMessageA(window, WM_CLOSE, 0, 0);
  while (log.Refresh() && log.Count("ClosePollingThread", mark) == 0) Sleep(5);
  ResumeThreads(&held);
  EXPECT_EQ(log.Count("StillMnt_UnInit", mark), 1) << log.Dump(mark);
  EXPECT_EQ(log.Count("ClosePollingThread", mark), 1) << log.Dump(mark);
  EXPECT_LT(log.Find("StillMnt_UnInit", mark), log.Find("ClosePollingThread", mark));
  DWORD code = 99;
  ASSERT_TRUE(monitor.Wait(5000, &code));
  EXPECT_EQ(code, 0u);
  Z9B_DEVICE camera{};
  ASSERT_TRUE(bench.FindDevice(z9bench::kCameraInstanceId, &camera));
  EXPECT_EQ(camera.openHandles, 0u);
  const uint32_t after = ButtonRequests();
  wintest::PumpFor(400);
  EXPECT_EQ(ButtonRequests(), after) << "nothing polls after the end";
}

// WM_CLOSE while the polling thread shows the warning: the shutdown runs
// once, waits its grace period for the thread and the process still ends.
TEST_F(Startup, CloseWhileTheWarningIsShownRunsUnInitOnceAndEnds) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitButtonRequests(2, 5000));
  SetSetting("AudioStatus", 1);
  HWND box = nullptr;
  ASSERT_TRUE(wintest::WaitUntil([&] { return (box = wintest::FindDialogBox(nullptr, ProcessId())) != nullptr; },
                                 5000));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(log.WaitFor("ClosePollingThread", 3000)) << log.Dump();
  EXPECT_EQ(log.Count("StillMnt_UnInit"), 1) << log.Dump();
  DWORD code = 99;
  EXPECT_TRUE(monitor.Wait(5000, &code));
  EXPECT_EQ(code, 0u);
}

}  // namespace
