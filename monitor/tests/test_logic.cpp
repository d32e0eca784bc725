// The monitor's rules on their own: what a polling cycle makes of the raw
// button state, the blink switch of WM_COPYDATA, the camera's name rule, the
// reading of device-interface notices and the cutting of long log lines.
#include <windows.h>

#include <dbt.h>
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "button_poller.h"
#include "camera_match.h"
#include "device_presence.h"
#include "log.h"
#include "messenger.h"

using namespace z9mnt;

namespace {

std::vector<PollOutcome> Feed(ButtonPoller& p, const std::vector<uint8_t>& raws) {
  std::vector<PollOutcome> out;
  for (uint8_t r : raws) out.push_back(p.Step(r));
  return out;
}

TEST(ButtonPollerTest, APressOnEveryCycleGivesAnEventEveryOtherCycleAfterTheFirstTwo) {
  ButtonPoller p;
  const auto out = Feed(p, std::vector<uint8_t>(9, 1));
  const bool expectEvent[9] = {false, false, true, false, true, false, true, false, true};
  for (size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(out[i].event == ButtonEvent::Snapshot, expectEvent[i]) << "cycle " << i;
    EXPECT_EQ(out[i].pause, expectEvent[i]) << "cycle " << i;
    EXPECT_EQ(out[i].state, expectEvent[i] ? 1 : 0) << "cycle " << i;
    EXPECT_TRUE(out[i].keepPolling);
  }
  EXPECT_STREQ(out[2].logLine, "DEV_EVENT_1");
  EXPECT_EQ(out[3].logLine, nullptr);
}

TEST(ButtonPollerTest, TheFirstTwoCyclesReportNothingWhateverTheDriverSays) {
  for (uint8_t raw : {1, 2, 3, 11, 99}) {
    ButtonPoller p;
    const auto out = Feed(p, {raw, raw});
    for (const auto& o : out) {
      EXPECT_EQ(o.state, 0) << int(raw);
      EXPECT_EQ(o.event, ButtonEvent::None);
      EXPECT_EQ(o.logLine, nullptr);
      EXPECT_FALSE(o.pause);
    }
  }
}

TEST(ButtonPollerTest, EachStateLogsAndActsAsItShould) {
  struct Case {
    uint8_t raw;
    const char* line;
    ButtonEvent event;
    bool pause;
  };
  const Case cases[] = {
      {0, nullptr, ButtonEvent::None, false},
      {1, "DEV_EVENT_1", ButtonEvent::Snapshot, true},
      {2, "DEV_EVENT_2", ButtonEvent::None, true},
      {3, "DEV_EVENT_3", ButtonEvent::None, true},
      {11, "DEV_NOT_OPEN", ButtonEvent::Launch, true},
      {99, "Error! Device no response.", ButtonEvent::None, false},
      {7, nullptr, ButtonEvent::None, false},
  };
  for (const auto& c : cases) {
    ButtonPoller p;
    Feed(p, {0, 0});
    const PollOutcome o = p.Step(c.raw);
    EXPECT_EQ(o.state, c.raw);
    if (c.line) {
      EXPECT_STREQ(o.logLine, c.line);
    } else {
      EXPECT_EQ(o.logLine, nullptr) << int(c.raw);
    }
    EXPECT_EQ(o.event, c.event) << int(c.raw);
    EXPECT_EQ(o.pause, c.pause) << int(c.raw);
    // After an event the next cycle reports nothing.
    if (c.pause) {
      EXPECT_EQ(p.Step(c.raw).state, 0) << int(c.raw);
    }
  }
}

TEST(ButtonPollerTest, TenUnansweredPollsInARowEndThePolling) {
  ButtonPoller p;
  Feed(p, {99, 99});  // the two quiet cycles of a start do not count
  for (int i = 1; i <= 9; ++i) EXPECT_TRUE(p.Step(99).keepPolling) << i;
  const PollOutcome tenth = p.Step(99);
  EXPECT_STREQ(tenth.logLine, "Error! Device no response.");
  EXPECT_FALSE(tenth.keepPolling);

  // Any answer in between starts the count again, an event too.
  ButtonPoller q;
  Feed(q, {0, 0});
  for (int i = 0; i < 9; ++i) q.Step(99);
  EXPECT_TRUE(q.Step(0).keepPolling);
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(q.Step(99).keepPolling);
  EXPECT_TRUE(q.Step(11).keepPolling);
  EXPECT_TRUE(q.Step(99).keepPolling);  // suppressed after the event: counts as nothing
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(q.Step(99).keepPolling);
  EXPECT_FALSE(q.Step(99).keepPolling);
}

TEST(BlinkSwitchTest, TheSecondWordSwitchesAndShortBlocksAreIgnored) {
  bool on = false;
  const uint32_t onBlock[2] = {0, 1};
  EXPECT_TRUE(BlinkSwitchOf(onBlock, sizeof onBlock, &on));
  EXPECT_TRUE(on);
  const uint32_t offBlock[3] = {0xFFFFFFFF, 0, 5};
  EXPECT_TRUE(BlinkSwitchOf(offBlock, sizeof offBlock, &on));
  EXPECT_FALSE(on);
  const uint8_t highByte[8] = {0, 0, 0, 0, 0, 0, 0, 0x80};
  EXPECT_TRUE(BlinkSwitchOf(highByte, sizeof highByte, &on));
  EXPECT_TRUE(on);

  on = true;
  EXPECT_FALSE(BlinkSwitchOf(offBlock, 7, &on));
  EXPECT_FALSE(BlinkSwitchOf(nullptr, 8, &on));
  EXPECT_TRUE(on) << "a refused block leaves the switch alone";
}

TEST(CameraNameTest, InstanceIdsAndPathsOfTheCameraButNotItsSecondFunction) {
  const char* name = "VID_FFF1&PID_A14C";
  EXPECT_TRUE(IsCameraName("USB\\VID_FFF1&PID_A14C&MI_00\\6&1A2B&0&0000", name));
  EXPECT_TRUE(IsCameraName("usb\\vid_fff1&pid_a14c&mi_00\\6&1a2b&0&0000", name));
  EXPECT_FALSE(IsCameraName("USB\\VID_FFF1&PID_A14C&MI_01\\6&1A2B&0&0001", name));
  EXPECT_FALSE(IsCameraName("\\\\?\\usb#vid_fff1&pid_a14c&mi_01#6&1a2b&0&0001#{65e8773d}", name));
  EXPECT_FALSE(IsCameraName("USB\\VID_1234&PID_5678\\0000", name));
  EXPECT_FALSE(IsCameraName("USB\\VID_FFF1&PID_A14", name));
  EXPECT_TRUE(ContainsNoCase("abcABC", "Ca"));
  EXPECT_FALSE(ContainsNoCase("ab", "abc"));
  EXPECT_FALSE(ContainsNoCase(nullptr, "a"));
}

// A wide device-interface notice of `size` bytes.
std::vector<BYTE> Notice(const std::wstring& name, DWORD type = DBT_DEVTYP_DEVICEINTERFACE, long sizeDelta = 0) {
  const size_t full = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (name.size() + 1) * sizeof(WCHAR);
  std::vector<BYTE> b(full + 64, 0);
  auto* n = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(b.data());
  n->dbcc_size = static_cast<DWORD>(static_cast<long>(full) + sizeDelta);
  n->dbcc_devicetype = type;
  n->dbcc_classguid.Data1 = 0x65E8773D;
  std::memcpy(n->dbcc_name, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
  return b;
}

TEST(InterfaceNoticeTest, ThePathIsReadWithinTheNoticeAndCutToTheBuffer) {
  char path[64];
  GUID cls{};
  auto full = Notice(L"\\\\?\\ROOT#VID_FFF1&PID_A14C&MI_00#0000#{x}");
  ASSERT_TRUE(ReadInterfaceNotice(full.data(), path, sizeof path, &cls));
  EXPECT_STREQ(path, "\\\\?\\ROOT#VID_FFF1&PID_A14C&MI_00#0000#{x}");
  EXPECT_EQ(cls.Data1, 0x65E8773Du);

  // A notice whose size ends inside the name: the rest is not read.
  auto shortened = Notice(L"ABCDEFGH", DBT_DEVTYP_DEVICEINTERFACE, -6 * 2);
  ASSERT_TRUE(ReadInterfaceNotice(shortened.data(), path, sizeof path, &cls));
  EXPECT_STREQ(path, "ABC");

  auto longName = Notice(std::wstring(200, L'x'));
  ASSERT_TRUE(ReadInterfaceNotice(longName.data(), path, sizeof path, &cls));
  EXPECT_EQ(std::string(path), std::string(63, 'x'));

  auto tooSmall = Notice(L"A", DBT_DEVTYP_DEVICEINTERFACE, -20);
  EXPECT_FALSE(ReadInterfaceNotice(tooSmall.data(), path, sizeof path, &cls));
  auto volume = Notice(L"A", DBT_DEVTYP_VOLUME);
  EXPECT_FALSE(ReadInterfaceNotice(volume.data(), path, sizeof path, &cls));
}

size_t Format(char (&line)[kLogLineSize], const char* format, ...) {
  va_list args;
  va_start(args, format);
  const size_t n = FormatLogLine(line, format, args);
  va_end(args);
  return n;
}

TEST(LogLineTest, ALineLongerThanTheBufferIsCut) {
  char line[kLogLineSize];
  const std::string longText(2000, 'p');
  EXPECT_EQ(Format(line, "Device Name: %s", longText.c_str()), kLogLineSize - 1);
  EXPECT_EQ(std::string(line, 13), "Device Name: ");
  EXPECT_EQ(line[kLogLineSize - 2], 'p');
  EXPECT_EQ(Format(line, "AudioStatus = %d", 2), 15u);
  EXPECT_STREQ(line, "AudioStatus = 2");
}

}  // namespace
