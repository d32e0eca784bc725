// The messenger notification window: WM_COPYDATA switches the blinking of the
// camera's light, which the bench counts as pulses of output pin 6.
#include "monitor_fixture.h"

#include <vector>

using namespace mnttest;

namespace {

class Messenger : public MonitorTest {
 protected:
  HWND WaitForMessenger(DWORD timeoutMs) { return wintest::WaitForWindow(kMessengerClass, kMessengerTitle, timeoutMs); }

  // WM_COPYDATA with `size` bytes of `data`; the window's answer, or -1.
  LRESULT SendSwitch(HWND to, const void* data, DWORD size) {
    COPYDATASTRUCT copy{};
    copy.dwData = 77;  // not looked at
    copy.cbData = size;
    copy.lpData = const_cast<void*>(data);
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(to, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, 5000, &answer))
      return -1;
    return static_cast<LRESULT>(answer);
  }
  LRESULT SwitchBlink(HWND to, uint32_t on) {
    const uint32_t block[2] = {0, on};
    return SendSwitch(to, block, sizeof block);
  }

  uint32_t Pulses() {
    Z9B_LIGHT light{};
    EXPECT_TRUE(bench.GetLight(&light));
    return light.pulses;
  }
  bool WaitPulses(uint32_t atLeast, DWORD timeoutMs) {
    return wintest::WaitUntil([&] { return Pulses() >= atLeast; }, timeoutMs, 50);
  }
  // No new pulse over `ms`, after a pulse under way has finished.
  bool NoPulses(DWORD ms) {
    wintest::PumpFor(700);
    const uint32_t before = Pulses();
    wintest::PumpFor(ms);
    return Pulses() == before;
  }
};

TEST_F(Messenger, CopyDataSwitchesTheLightPulsesOnAndOff) {
  SetSetting("MSNNotifySupport", 1);
  ASSERT_TRUE(Start());
  HWND spy = WaitForMessenger(5000);
  ASSERT_TRUE(spy) << log.Dump();
  DWORD owner = 0;
  GetWindowThreadProcessId(spy, &owner);
  EXPECT_EQ(owner, ProcessId());
  EXPECT_FALSE(IsWindowVisible(spy));
  EXPECT_TRUE(log.WaitFor("Set Timer 1", 3000));
  EXPECT_EQ(log.Count(" Create hook Thread !"), 1) << log.Dump();
  ASSERT_TRUE(WaitButtonRequests(2, 5000));
  EXPECT_TRUE(NoPulses(800)) << "blinking starts switched off";

  EXPECT_EQ(SwitchBlink(spy, 1), 1);
  ASSERT_TRUE(WaitPulses(2, 4000)) << "one pulse a second while switched on";
  // The light watched from outside: each pulse lasts about 500 ms, one
  // starts about every 1000 ms.
  std::vector<DWORD> rises, falls;
  {
    Z9B_LIGHT seen{};
    ASSERT_TRUE(bench.GetLight(&seen));
    bool on = seen.on != 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 5200) {
      Z9B_LIGHT l{};
      if (!bench.GetLight(&l)) break;
      const bool nowOn = l.on != 0;
      if (nowOn && !on) rises.push_back(GetTickCount());
      if (!nowOn && on) falls.push_back(GetTickCount());
      on = nowOn;
      Sleep(5);
    }
  }
  ASSERT_GE(rises.size(), 4u) << "pulses in 5.2 s";
  EXPECT_LE(rises.size(), 6u) << "pulses in 5.2 s";
  for (size_t i = 1; i < rises.size(); ++i) {
    const DWORD period = rises[i] - rises[i - 1];
    EXPECT_GE(period, 800u) << "period of pulse " << i;
    EXPECT_LE(period, 1250u) << "period of pulse " << i;
  }
  int measured = 0;
  for (DWORD rise : rises) {
    for (DWORD fall : falls) {
      if (fall <= rise) continue;
      const DWORD length = fall - rise;
      EXPECT_GE(length, 400u) << "pulse length";
      EXPECT_LE(length, 700u) << "pulse length";
      ++measured;
      break;
    }
  }
  EXPECT_GE(measured, 3);
  Z9B_LIGHT light{};
  ASSERT_TRUE(bench.GetLight(&light));
  EXPECT_EQ(light.direction & 0x40, 0x40u) << "pin 6 is made an output";

  // Blocks too short to carry the switch, or none at all, change nothing.
  const uint32_t shortOff = 0;
  EXPECT_EQ(SendSwitch(spy, &shortOff, sizeof shortOff), 1);
  EXPECT_EQ(SendSwitch(spy, nullptr, 8), 1);
  const uint32_t now = Pulses();
  EXPECT_TRUE(WaitPulses(now + 1, 3000)) << "still blinking";

  EXPECT_EQ(SwitchBlink(spy, 0), 1);
  EXPECT_TRUE(NoPulses(1500));
  ASSERT_TRUE(bench.GetLight(&light));
  EXPECT_EQ(light.on, 0u) << "the light ends switched off";
  EXPECT_TRUE(monitor.Running());
}

TEST_F(Messenger, TheWindowGoesWithTheCameraAndComesBackWithIt) {
  SetSetting("MSNNotifySupport", 1);
  ASSERT_TRUE(Start());
  HWND spy = WaitForMessenger(5000);
  ASSERT_TRUE(spy);
  ASSERT_TRUE(WaitButtonRequests(2, 5000));
  EXPECT_EQ(SwitchBlink(spy, 1), 1);
  ASSERT_TRUE(WaitPulses(1, 3000));

  const int threads = ThreadCount();
  const size_t mark = log.Size();
  ASSERT_TRUE(bench.Unplug());
  ASSERT_TRUE(log.WaitFor("Terminate hook Thread !", 5000, 1, mark)) << log.Dump(mark);
  EXPECT_TRUE(wintest::WaitUntil([&] { return ThreadCount() == threads - 2; }, 3000))
      << "the polling and the messenger threads end, " << ThreadCount() << " of " << threads << " left";
  EXPECT_TRUE(wintest::WaitForNoWindow(kMessengerClass, nullptr, 3000));
  EXPECT_TRUE(monitor.Running());

  // The switch outlives the window: blinking resumes with the camera.
  ASSERT_TRUE(bench.Replug());
  ASSERT_TRUE(log.WaitFor(" Create hook Thread !", 5000, 1, mark)) << log.Dump(mark);
  ASSERT_TRUE(WaitForMessenger(3000));
  const uint32_t now = Pulses();
  EXPECT_TRUE(WaitPulses(now + 1, 4000));

  DWORD code = 99;
  ASSERT_TRUE(Close(8000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(FindWindowA(kMessengerClass, nullptr));
}

TEST_F(Messenger, WithoutTheSettingThereIsNoWindow) {
  SetSetting("MSNNotifySupport", 0);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(WaitButtonRequests(3, 5000));
  EXPECT_FALSE(FindWindowA(kMessengerClass, nullptr));
  EXPECT_EQ(log.Count(" Create hook Thread !"), 0);
  EXPECT_EQ(log.Count("Set Timer 1"), 0);
}

}  // namespace
