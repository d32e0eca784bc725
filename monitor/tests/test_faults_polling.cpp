// The running monitor against a camera that misbehaves: every request kind
// it sends (button state, still size, the light's registers) failed, answered
// without a word written and answered with garbage, each followed by a normal
// press that must still arrive; a camera that goes away in the middle of a
// poll; and switch blocks of every size up to 64 bytes sent from outside.
#include "monitor_fixture.h"

#include <random>

using namespace mnttest;

namespace {

class PollingFaults : public MonitorTest {
 protected:
  bool StartPolling() { return Start() && log.WaitFor("Thread created.....", 3000) && WaitButtonRequests(2, 5000); }

  uint32_t FaultsApplied() { return Counters().faultsApplied; }

  // Log lines from `mark` on other than the status line every cycle writes.
  std::vector<std::string> LinesSince(size_t mark) {
    std::vector<std::string> out;
    const auto lines = log.Lines();
    for (size_t i = mark; i < lines.size(); ++i)
      if (lines[i].rfind("AudioStatus = ", 0) != 0) out.push_back(lines[i]);
    return out;
  }

  // A queued press after the quiet cycle of any earlier event reaches the
  // registered window as its capture command.
  void ExpectAPressArrives(TestWindow& dialog) {
    const int before = dialog.Commands(1000);
    ASSERT_TRUE(WaitButtonRequests(ButtonRequests() + 2, 3000));
    ASSERT_TRUE(bench.PushButtons({1}));
    EXPECT_TRUE(wintest::WaitUntil([&] { return dialog.Commands(1000) == before + 1; }, 3000))
        << "the press after the fault did not arrive\n"
        << log.Dump();
  }

  bool Register(TestWindow& dialog) {
    PostEvent("Z9100MntTwnActive", reinterpret_cast<LPARAM>(dialog.hwnd()));
    return log.WaitFor("MONITOR_TWAIN_ACTIVE", 3000);
  }
};

TEST_F(PollingFaults, ButtonStateFailedSilentOrGarbledThenAPressArrives) {
  struct Case {
    uint32_t mode;
    int32_t value;
    uint32_t count;
    std::vector<std::string> lines;  // what the faulty answers log, in order
  };
  const std::string none = "Error! Device no response.";
  const std::vector<Case> cases = {
      {Z9B_FAULT_FAIL, 0, 3, {none, none, none}},
      {Z9B_FAULT_NOWRITE, 0, 3, {none, none, none}},
      {Z9B_FAULT_VALUE, 99, 2, {none, none}},
      // Bytes outside the state table: nothing logged, nothing posted.
      {Z9B_FAULT_VALUE, 4, 1, {}},
      {Z9B_FAULT_VALUE, 10, 1, {}},
      {Z9B_FAULT_VALUE, 12, 1, {}},
      {Z9B_FAULT_VALUE, 98, 1, {}},
      {Z9B_FAULT_VALUE, 100, 1, {}},
      {Z9B_FAULT_VALUE, 255, 1, {}},
      // Nine unanswered polls in a row are not yet the end of the thread.
      {Z9B_FAULT_FAIL, 0, 9, std::vector<std::string>(9, none)},
  };
  ASSERT_TRUE(StartPolling());
  TestWindow dialog("capture dialog stand-in");
  ASSERT_TRUE(Register(dialog));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", value " << c.value << ", " << c.count << " times");
    ASSERT_TRUE(WaitButtonRequests(ButtonRequests() + 2, 3000)) << "past the quiet cycle of the last press";
    const size_t mark = log.Size();
    const uint32_t applied = FaultsApplied();
    ASSERT_TRUE(bench.AddFault(z9bench::MakeFault(Z9B_KIND_BUTTON, c.mode, c.value, c.count)));
    ASSERT_TRUE(wintest::WaitUntil([&] { return FaultsApplied() >= applied + c.count; }, 4000));
    ASSERT_TRUE(WaitPollingCycles(2, 3000));
    EXPECT_EQ(LinesSince(mark), c.lines) << log.Dump(mark);
    EXPECT_EQ(dialog.Commands(1000), static_cast<int>(&c - cases.data())) << "a faulty answer was taken as a press";
    ExpectAPressArrives(dialog);
  }
  EXPECT_EQ(log.Count("Thread killed....."), 0) << log.Dump();
}

// The still size is asked once per polling thread: every fault of it leaves
// the thread polling. Each case restarts the thread by an unplug and replug.
TEST_F(PollingFaults, StillSizeFailedSilentOrGarbledLeavesThePollingRunning) {
  const struct {
    uint32_t mode;
    int32_t value;
  } cases[] = {{Z9B_FAULT_FAIL, 0}, {Z9B_FAULT_NOWRITE, 0}, {Z9B_FAULT_VALUE, 0}, {Z9B_FAULT_VALUE, -1}};
  ASSERT_TRUE(StartPolling());
  TestWindow dialog("capture dialog stand-in");
  ASSERT_TRUE(Register(dialog));
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", value " << c.value);
    ASSERT_TRUE(bench.ClearFaults());
    ASSERT_TRUE(bench.AddFault(z9bench::MakeFault(Z9B_KIND_STILL_SIZE, c.mode, c.value)));
    const size_t mark = log.Size();
    const uint32_t applied = FaultsApplied();
    ASSERT_TRUE(bench.Unplug());
    ASSERT_TRUE(log.WaitFor("Thread killed.....", 5000, 1, mark)) << log.Dump(mark);
    ASSERT_TRUE(bench.Replug());
    ASSERT_TRUE(log.WaitFor("Thread created.....", 5000, 1, mark)) << log.Dump(mark);
    ASSERT_TRUE(wintest::WaitUntil([&] { return FaultsApplied() > applied; }, 3000)) << "no still size request";
    const uint32_t polls = ButtonRequests();
    EXPECT_TRUE(WaitButtonRequests(polls + 3, 3000)) << "the thread stopped polling";
    ExpectAPressArrives(dialog);
    EXPECT_EQ(log.Count("Thread killed.....", mark), 1) << log.Dump(mark);
  }
  EXPECT_TRUE(monitor.Running());
}

// The light's registers misbehaving while it blinks: nothing is reported and
// nothing else stops; once the camera answers again the light blinks again.
TEST_F(PollingFaults, LightRegistersFailedSilentOrGarbledWhileBlinking) {
  SetSetting("MSNNotifySupport", 1);
  ASSERT_TRUE(StartPolling());
  HWND spy = wintest::WaitForWindow(kMessengerClass, kMessengerTitle, 5000);
  ASSERT_TRUE(spy);
  TestWindow dialog("capture dialog stand-in");
  ASSERT_TRUE(Register(dialog));
  const uint32_t on[2] = {0, 1};
  COPYDATASTRUCT copy{0, sizeof on, const_cast<uint32_t*>(on)};
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutA(spy, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, 5000, &answer));
  auto pulses = [&] {
    Z9B_LIGHT l{};
    EXPECT_TRUE(bench.GetLight(&l));
    return l.pulses;
  };
  ASSERT_TRUE(wintest::WaitUntil([&] { return pulses() >= 1; }, 4000));

  const struct {
    uint32_t mode;
    uint32_t flags;
    int32_t value;
  } cases[] = {{Z9B_FAULT_FAIL, 0, 0}, {Z9B_FAULT_NOWRITE, 0, 0}, {Z9B_FAULT_VALUE, 1, 0xFF}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", flags " << c.flags << ", value " << c.value);
    const size_t mark = log.Size();
    Z9B_FAULT f = z9bench::MakeFault(Z9B_KIND_REGISTER, c.mode, c.value);
    f.flags = c.flags;
    ASSERT_TRUE(bench.AddFault(f));
    const uint32_t applied = FaultsApplied();
    ASSERT_TRUE(wintest::WaitUntil([&] { return FaultsApplied() >= applied + 2; }, 4000)) << "no pulse was tried";
    EXPECT_TRUE(LinesSince(mark).empty()) << log.Dump(mark);
    ExpectAPressArrives(dialog);
    ASSERT_TRUE(bench.ClearFaults());
    const uint32_t now = pulses();
    EXPECT_TRUE(wintest::WaitUntil([&] { return pulses() > now; }, 4000)) << "no pulse after the fault";
  }
  EXPECT_TRUE(monitor.Running());
}

// The camera goes away while a poll holds its handle: right after a press
// (the thread pauses with the handle open) and in the middle of a run of
// unanswered polls. The thread ends once, the program goes on, and the
// replugged camera's press arrives.
TEST_F(PollingFaults, ACameraThatGoesAwayInTheMiddleOfAPoll) {
  ASSERT_TRUE(StartPolling());
  TestWindow dialog("capture dialog stand-in");
  ASSERT_TRUE(Register(dialog));
  for (bool unanswered : {false, true}) {
    SCOPED_TRACE(unanswered ? "during unanswered polls" : "in the pause after a press");
    const size_t mark = log.Size();
    const int commands = dialog.Commands(1000);
    if (unanswered) {
      ASSERT_TRUE(bench.AddFault(z9bench::MakeFault(Z9B_KIND_BUTTON, Z9B_FAULT_FAIL)));
      ASSERT_TRUE(log.WaitFor("Error! Device no response.", 3000, 3, mark)) << log.Dump(mark);
    } else {
      ASSERT_TRUE(WaitButtonRequests(ButtonRequests() + 2, 3000));
      ASSERT_TRUE(bench.PushButtons({1}));
      ASSERT_TRUE(log.WaitFor("DEV_EVENT_1", 3000, 1, mark)) << log.Dump(mark);
    }
    ASSERT_TRUE(bench.Unplug());
    ASSERT_TRUE(log.WaitFor("Thread killed.....", 5000, 1, mark)) << log.Dump(mark);
    wintest::PumpFor(300);
    EXPECT_EQ(dialog.Commands(1000), commands + (unanswered ? 0 : 1)) << "the press before the unplug";
    EXPECT_EQ(log.Count("Thread killed.....", mark), 1) << log.Dump(mark);
    EXPECT_EQ(log.Count("Device disconnect..", mark), 1) << log.Dump(mark);
    ASSERT_TRUE(bench.ClearFaults());
    ASSERT_TRUE(bench.Replug());
    ASSERT_TRUE(log.WaitFor("Thread created.....", 5000, 1, mark)) << log.Dump(mark);
    ASSERT_TRUE(WaitButtonRequests(ButtonRequests() + 2, 3000)) << "the two quiet cycles of the new thread";
    ExpectAPressArrives(dialog);
  }
  EXPECT_TRUE(monitor.Running());
}

// Blocks of every size from 0 to 64 bytes of random content, sent to the
// running monitor's messenger window from this process: each is answered 1
// and the program survives them all.
TEST_F(PollingFaults, SwitchBlocksOfEverySizeFromOutside) {
  SetSetting("MSNNotifySupport", 1);
  ASSERT_TRUE(StartPolling());
  HWND spy = wintest::WaitForWindow(kMessengerClass, kMessengerTitle, 5000);
  ASSERT_TRUE(spy);
  std::mt19937 random(64);
  for (DWORD size = 0; size <= 64; ++size) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> block(size ? size : 1);
    for (uint8_t& b : block) b = static_cast<uint8_t>(random());
    COPYDATASTRUCT copy{static_cast<ULONG_PTR>(random()), size, size ? block.data() : nullptr};
    DWORD_PTR answer = 0;
    ASSERT_TRUE(SendMessageTimeoutA(spy, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, 5000, &answer))
        << "the messenger window stopped answering";
    EXPECT_EQ(answer, 1u);
  }
  // Switched off at the end: the light stays off.
  const uint32_t off[2] = {0xFFFFFFFF, 0};
  COPYDATASTRUCT copy{0, sizeof off, const_cast<uint32_t*>(off)};
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutA(spy, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, 5000, &answer));
  wintest::PumpFor(1200);
  Z9B_LIGHT before{};
  ASSERT_TRUE(bench.GetLight(&before));
  wintest::PumpFor(1500);
  Z9B_LIGHT after{};
  ASSERT_TRUE(bench.GetLight(&after));
  EXPECT_EQ(after.pulses, before.pulses) << "the light blinks although switched off";
  EXPECT_TRUE(monitor.Running());
  EXPECT_TRUE(WaitButtonRequests(ButtonRequests() + 2, 3000)) << "the polling stopped";
}

}  // namespace
