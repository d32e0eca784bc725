// The disconnect warning asked for by "AudioStatus": shown by the polling
// thread for 1 and 2, by the audio-status thread (camera absent at start-up)
// for 1 only, with the language file's text when there is one.
#include "monitor_fixture.h"

using namespace mnttest;

namespace {

class Warning : public MonitorTest {
 protected:
  HWND WaitForBox(DWORD timeoutMs) {
    HWND box = nullptr;
    wintest::WaitUntil([&] { return (box = wintest::FindDialogBox(nullptr, ProcessId())) != nullptr; }, timeoutMs);
    return box;
  }
  bool WaitAudioStatus(DWORD value, DWORD timeoutMs) {
    return wintest::WaitUntil([&] { return Setting("AudioStatus") == value; }, timeoutMs);
  }
};

TEST_F(Warning, ThePollingThreadShowsItForOneAndTwoAndPausesMeanwhile) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitButtonRequests(2, 5000));
  for (DWORD request : {1u, 2u}) {
    SCOPED_TRACE(request);
    SetSetting("AudioStatus", request);
    HWND box = WaitForBox(5000);
    ASSERT_TRUE(box) << log.Dump();
    EXPECT_EQ(wintest::DialogText(box), kWarning);
    EXPECT_EQ(wintest::WindowText(box), "") << "the box has an empty caption";
    EXPECT_GE(log.Count("AudioStatus = " + std::to_string(request)), 1);
    // Polling waits for the user.
    const uint32_t during = ButtonRequests();
    wintest::PumpFor(400);
    EXPECT_EQ(ButtonRequests(), during);
    EXPECT_EQ(Setting("AudioStatus"), request) << "reset only after the box is dismissed";

    wintest::PressDialogButton(box, IDOK);
    EXPECT_TRUE(WaitAudioStatus(0, 3000));
    EXPECT_TRUE(WaitButtonRequests(during + 3, 3000)) << "polling goes on after the box";
    EXPECT_TRUE(wintest::WaitUntil([&] { return !wintest::FindDialogBox(nullptr, ProcessId()); }, 2000));
  }
}

TEST_F(Warning, TheAudioStatusThreadShowsTheLanguageTextForOneOnly) {
  ASSERT_TRUE(wintest::MakeDirs("D:\\lang"));
  const std::string text = "Geraet bitte 5 Sekunden lang abziehen.";
  ASSERT_TRUE(wintest::IniWrite("D:\\lang\\LG1031.dat", "StillMnt", "DmpString2", text.c_str()));
  SetSettingText("LangFilePath", "D:\\lang");
  SetSetting("MultiLangID", 1031);
  ASSERT_TRUE(bench.Unplug());
  ASSERT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kCameraInstanceId, false, 5000));

  ASSERT_TRUE(Start());
  ASSERT_TRUE(log.WaitFor("Thread CheckTurnOffAudioThread created.....", 3000)) << log.Dump();
  EXPECT_EQ(log.Find("Device disconnect.."), 3) << log.Dump();
  EXPECT_EQ(log.Find("IN CreatePollingThread-2"), 4);
  EXPECT_EQ(log.Count("IN CreatePollingThread"), 0);
  EXPECT_EQ(ButtonRequests(), 0u);

  // 2 is the polling thread's business only.
  SetSetting("AudioStatus", 2);
  wintest::PumpFor(600);
  EXPECT_FALSE(wintest::FindDialogBox(nullptr, ProcessId()));
  EXPECT_EQ(Setting("AudioStatus"), 2u);

  SetSetting("AudioStatus", 1);
  wintest::MessageBoxWatcher watcher(nullptr, ProcessId(), IDOK, 5000);
  ASSERT_TRUE(watcher.Wait(6000)) << log.Dump();
  EXPECT_EQ(watcher.Text(), text);
  EXPECT_TRUE(WaitAudioStatus(0, 3000));

  // The camera arriving later starts the polling thread beside it.
  const size_t mark = log.Size();
  ASSERT_TRUE(bench.Replug());
  ASSERT_TRUE(log.WaitFor("Thread created.....", 5000, 1, mark)) << log.Dump(mark);
  EXPECT_TRUE(WaitButtonRequests(3, 3000));
  EXPECT_EQ(log.Count("ClosePollingThread2"), 0);
  wintest::DeleteFileIfAny("D:\\lang\\LG1031.dat");
}

}  // namespace
