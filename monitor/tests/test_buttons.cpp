// The button on the bench camera: the polling cycle's suppression, the
// events the main window makes of the states, the capture-dialog target, the
// F2 key press, the camera application, and the switches that stop polling.
#include "monitor_fixture.h"

using namespace mnttest;

namespace {

class Buttons : public MonitorTest {
 protected:
  // Starts the monitor and lets the two quiet cycles of the polling thread
  // pass, so that the next queued state is acted on.
  bool StartPolling() { return Start() && WaitButtonRequests(2, 5000); }

  bool Push(std::initializer_list<uint8_t> states) { return bench.PushButtons(states); }

  // Queues one state after the quiet cycle that follows an earlier event:
  // two more requests have passed since the event was seen.
  bool Press(uint8_t state) { return WaitButtonRequests(ButtonRequests() + 2, 3000) && Push({state}); }
};

TEST_F(Buttons, APressGoesToTheRegisteredCaptureDialogAndOtherwiseBecomesF2) {
  ASSERT_TRUE(StartPolling());
  TestWindow dialog("capture dialog stand-in");
  ASSERT_TRUE(dialog.hwnd());
  PostEvent("Z9100MntTwnActive", reinterpret_cast<LPARAM>(dialog.hwnd()));
  ASSERT_TRUE(log.WaitFor("MONITOR_TWAIN_ACTIVE", 3000));

  ASSERT_TRUE(Push({1}));
  EXPECT_TRUE(wintest::WaitUntil([&] { return dialog.Commands(1000) == 1; }, 3000)) << log.Dump();
  EXPECT_EQ(dialog.CommandsWithLParam(), 0) << "the capture command carries lParam 0";
  EXPECT_EQ(log.Count("DEV_EVENT_1"), 1);
  EXPECT_EQ(log.Count("MONITOR_EVENT_SNAPSHOT"), 1);

  // Unregistered: the press becomes one F2 for the foreground window.
  PostEvent("Z9100MntTwnInactive");
  ASSERT_TRUE(log.WaitFor("MONITOR_TWAIN_INACTIVE", 3000));
  TestWindow app("foreground application");
  ASSERT_TRUE(app.MakeForeground());
  ASSERT_TRUE(Press(1));
  ASSERT_TRUE(log.WaitFor("MONITOR_EVENT_SNAPSHOT", 3000, 2)) << log.Dump();
  EXPECT_TRUE(wintest::WaitUntil([&] { return app.F2Ups() >= 1; }, 3000));
  wintest::PumpFor(300);
  EXPECT_EQ(app.F2Downs(), 1);
  EXPECT_EQ(app.F2Ups(), 1);
  EXPECT_EQ(dialog.Commands(1000), 1) << "the old target gets nothing more";

  // A newer registration replaces an older one.
  TestWindow older("older dialog"), newer("newer dialog");
  PostEvent("Z9100MntTwnActive", reinterpret_cast<LPARAM>(older.hwnd()));
  PostEvent("Z9100MntTwnActive", reinterpret_cast<LPARAM>(newer.hwnd()));
  ASSERT_TRUE(log.WaitFor("MONITOR_TWAIN_ACTIVE", 3000, 3));
  ASSERT_TRUE(Press(1));
  EXPECT_TRUE(wintest::WaitUntil([&] { return newer.Commands(1000) == 1; }, 3000)) << log.Dump();
  EXPECT_EQ(newer.CommandsWithLParam(), 0);
  EXPECT_EQ(older.Commands(1000), 0);
  EXPECT_EQ(app.F2Downs(), 1);
}

TEST_F(Buttons, APressOnEveryCycleGivesAnEventOnEveryOtherCycle) {
  ASSERT_TRUE(StartPolling());
  TestWindow dialog("capture dialog stand-in");
  PostEvent("Z9100MntTwnActive", reinterpret_cast<LPARAM>(dialog.hwnd()));
  ASSERT_TRUE(log.WaitFor("MONITOR_TWAIN_ACTIVE", 3000));
  const uint32_t before = ButtonRequests();
  ASSERT_TRUE(Push({1, 1, 1, 1, 1, 1, 1, 1}));
  ASSERT_TRUE(WaitButtonRequests(before + 10, 8000));
  wintest::PumpFor(200);
  EXPECT_EQ(log.Count("DEV_EVENT_1"), 4) << log.Dump();
  EXPECT_EQ(log.Count("MONITOR_EVENT_SNAPSHOT"), 4);
  EXPECT_EQ(dialog.Commands(1000), 4);
}

TEST_F(Buttons, TheFirstTwoCyclesOfAThreadNeverGiveAnEvent) {
  ASSERT_TRUE(Push({1, 11, 0, 0}));
  const int starts = CameraAppStarts();
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitButtonRequests(6, 5000));
  wintest::PumpFor(200);
  EXPECT_EQ(log.Count("DEV_EVENT_1"), 0) << log.Dump();
  EXPECT_EQ(log.Count("DEV_NOT_OPEN"), 0);
  EXPECT_EQ(log.Count("MONITOR_EVENT_SNAPSHOT"), 0);
  EXPECT_EQ(log.Count("MONITOR_EVENT_LAUNCHAP"), 0);
  EXPECT_EQ(CameraAppStarts(), starts);
}

TEST_F(Buttons, OtherStatesAreLoggedWithoutAnEvent) {
  ASSERT_TRUE(StartPolling());
  ASSERT_TRUE(Push({2, 0, 3, 0, 7, 0}));
  ASSERT_TRUE(log.WaitFor("DEV_EVENT_3", 5000)) << log.Dump();
  const uint32_t now = ButtonRequests();
  ASSERT_TRUE(WaitButtonRequests(now + 4, 3000));
  EXPECT_EQ(log.Count("DEV_EVENT_2"), 1);
  EXPECT_EQ(log.Count("MONITOR_EVENT_SNAPSHOT"), 0);
  EXPECT_EQ(log.Count("MONITOR_EVENT_LAUNCHAP"), 0);
  EXPECT_EQ(log.CountPrefix("DEV_"), 2) << log.Dump();
}

TEST_F(Buttons, PressWhileTheCameraIsNotOpenStartsTheCameraApplication) {
  std::string app;
  ASSERT_TRUE(wintest::RegGetString(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam, nullptr, &app));
  SetSetting("PlaySound", 1);
  ASSERT_TRUE(StartPolling());
  int starts = CameraAppStarts();

  // With the sound (bit 0) and without it (2): the application starts both times.
  ASSERT_TRUE(Push({11}));
  ASSERT_TRUE(log.WaitFor("MONITOR_EVENT_LAUNCHAP", 3000)) << log.Dump();
  EXPECT_EQ(log.Count("DEV_NOT_OPEN"), 1);
  EXPECT_TRUE(wintest::WaitUntil([&] { return CameraAppStarts() == starts + 1; }, 10000));
  starts = CameraAppStarts();
  SetSetting("PlaySound", 2);
  ASSERT_TRUE(Press(11));
  ASSERT_TRUE(log.WaitFor("MONITOR_EVENT_LAUNCHAP", 3000, 2)) << log.Dump();
  EXPECT_TRUE(wintest::WaitUntil([&] { return CameraAppStarts() == starts + 1; }, 10000));

  // Without its App Paths entry nothing is started.
  starts = CameraAppStarts();
  ASSERT_TRUE(wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam));
  ASSERT_TRUE(Press(11));
  const bool launched = log.WaitFor("MONITOR_EVENT_LAUNCHAP", 3000, 3);
  wintest::PumpFor(1500);
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam, nullptr, app));
  EXPECT_TRUE(launched);
  EXPECT_EQ(CameraAppStarts(), starts);
}

TEST_F(Buttons, ANonzeroDeviceStatusSkipsThePollsButKeepsTheThread) {
  ASSERT_TRUE(StartPolling());
  SetSetting("DeviceStatus", 3);
  // Let a cycle that was already past its status check finish.
  ASSERT_TRUE(WaitPollingCycles(2, 3000));
  ASSERT_TRUE(bench.ClearLog());
  ASSERT_TRUE(WaitPollingCycles(6, 3000)) << "the status check runs on every cycle";
  EXPECT_EQ(ButtonRequests(), 0u);
  EXPECT_EQ(log.Count("Thread killed....."), 0);

  SetSetting("DeviceStatus", 0);
  EXPECT_TRUE(WaitButtonRequests(3, 3000)) << "polling goes on once the status is back to 0";
}

TEST_F(Buttons, PollDeviceZeroKeepsTheThreadAliveWithoutRequests) {
  SetIni("Snapshot", "PollDevice", "0");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(log.WaitFor("Thread created.....", 3000));
  ASSERT_TRUE(WaitPollingCycles(6, 3000)) << log.Dump();
  const auto c = Counters();
  EXPECT_EQ(c.byKind[Z9B_KIND_BUTTON], 0u);
  EXPECT_EQ(c.byKind[Z9B_KIND_STILL_SIZE], 1u) << "the thread started and asked for the still size";
  EXPECT_EQ(log.Count("Thread killed....."), 0);

  // The value is read on every cycle.
  SetIni("Snapshot", "PollDevice", "1");
  EXPECT_TRUE(WaitButtonRequests(3, 5000));
}

// Ten unanswered polls in a row end the thread, whether the driver fails the
// request or succeeds without writing the state (the preset 99 stays).
TEST_F(Buttons, TenUnansweredPollsEndThePollingThread) {
  for (uint32_t mode : {uint32_t{Z9B_FAULT_FAIL}, uint32_t{Z9B_FAULT_NOWRITE}}) {
    SCOPED_TRACE(mode == Z9B_FAULT_FAIL ? "failed requests" : "requests answered without a state");
    ASSERT_TRUE(bench.Reset());
    ASSERT_TRUE(bench.AddFault(z9bench::MakeFault(Z9B_KIND_BUTTON, mode)));
    ASSERT_TRUE(Start());
    ASSERT_TRUE(log.WaitFor("Thread created.....", 3000));
    const int threads = ThreadCount();
    ASSERT_TRUE(log.WaitFor("Thread killed.....", 8000)) << log.Dump();
    const int killed = log.Find("Thread killed.....");
    EXPECT_EQ(log.Count("Error! Device no response."), 10);
    EXPECT_EQ(log.Lines()[killed - 1], "Error! Device no response.") << log.Dump();
    EXPECT_EQ(log.Count("Thread Shutdown.."), 0);
    // The two quiet cycles of the start plus the ten unanswered ones.
    EXPECT_EQ(ButtonRequests(), 12u);
    wintest::PumpFor(400);
    EXPECT_EQ(ButtonRequests(), 12u) << "nothing polls after the end";
    EXPECT_TRUE(wintest::WaitUntil([&] { return ThreadCount() == threads - 1; }, 3000))
        << "the polling thread ends: " << ThreadCount() << " of " << threads << " left";

    std::vector<Z9B_LOG_ENTRY> entries;
    ASSERT_TRUE(bench.ReadLog(&entries));
    for (const auto& e : entries) {
      if (e.kind != Z9B_KIND_BUTTON) continue;
      EXPECT_EQ(e.in[24], 99) << "the state byte is preset to 99";
    }
    ASSERT_TRUE(Close());
  }
}

}  // namespace
