// The monitor's rules on their own: what a polling cycle makes of the raw
// button state, the blink switch of WM_COPYDATA, the camera's name rule, the
// reading of device-interface notices in both forms and the cutting of long
// log lines.
#include <windows.h>

#include <dbt.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "button_poller.h"
#include "camera_match.h"
#include "device_notice.h"
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

// --- Notices as raw bytes, in both forms -------------------------------------------

constexpr GUID kCapture = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr size_t kNameAt = 28;  // header (12 bytes) and class (16 bytes)

std::vector<BYTE> AnsiName(const std::string& s) { return std::vector<BYTE>(s.c_str(), s.c_str() + s.size() + 1); }

std::vector<BYTE> WideName(const std::wstring& s) {
  std::vector<BYTE> b((s.size() + 1) * 2, 0);
  for (size_t i = 0; i < s.size(); ++i) {
    b[2 * i] = static_cast<BYTE>(s[i] & 0xFF);
    b[2 * i + 1] = static_cast<BYTE>(s[i] >> 8);
  }
  return b;
}

void PutDword(std::vector<BYTE>& b, size_t at, DWORD v) { std::memcpy(b.data() + at, &v, sizeof v); }

// Header, capture class and the name bytes as given; the header's size is the
// length of the whole block.
std::vector<BYTE> NoticeBytes(const std::vector<BYTE>& name, DWORD type = DBT_DEVTYP_DEVICEINTERFACE) {
  std::vector<BYTE> b(kNameAt + name.size(), 0);
  if (!name.empty()) std::memcpy(b.data() + kNameAt, name.data(), name.size());
  PutDword(b, 0, static_cast<DWORD>(b.size()));
  PutDword(b, 4, type);
  PutDword(b, 8, 0xDDDDDDDD);  // reserved: whatever is there is ignored
  std::memcpy(b.data() + 12, &kCapture, sizeof kCapture);
  return b;
}

// The first `size` bytes of a notice whose header says `size` (at least the
// size field itself is kept).
std::vector<BYTE> Cut(std::vector<BYTE> notice, size_t size) {
  notice.resize(size < 4 ? 4 : size);
  PutDword(notice, 0, static_cast<DWORD>(size));
  return notice;
}

// A copy of the bytes that ends right before a page that cannot be read: any
// read past the block faults.
class GuardedBlock {
 public:
  explicit GuardedBlock(const std::vector<BYTE>& bytes) {
    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    const size_t page = si.dwPageSize;
    const size_t span = (bytes.size() / page + 1) * page;
    base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, span + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (base_ == nullptr || !VirtualProtect(base_ + span, page, PAGE_NOACCESS, &old)) return;
    data_ = base_ + span - bytes.size();
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
  }
  ~GuardedBlock() {
    if (base_) VirtualFree(base_, 0, MEM_RELEASE);
  }
  GuardedBlock(const GuardedBlock&) = delete;
  GuardedBlock& operator=(const GuardedBlock&) = delete;
  const BYTE* data() const { return data_; }

 private:
  BYTE* base_ = nullptr;
  BYTE* data_ = nullptr;
};

struct Decoded {
  bool ok = false;
  std::string path;
  GUID cls{};
  NoticeForm form = NoticeForm::Ansi;
};

// Reads the notice from a guarded copy into a path buffer of `pathSize` bytes
// with watched bytes after it.
Decoded Decode(const std::vector<BYTE>& notice, size_t pathSize = 260) {
  GuardedBlock block(notice);
  EXPECT_NE(block.data(), nullptr);
  constexpr char kWatch = '#';
  std::vector<char> buffer(pathSize + 8, kWatch);
  Decoded d;
  d.ok = ReadInterfaceNotice(block.data(), buffer.data(), pathSize, &d.cls, &d.form);
  const auto end = std::find(buffer.begin(), buffer.begin() + pathSize, '\0');
  EXPECT_NE(end, buffer.begin() + pathSize) << "the path is terminated within its buffer";
  d.path.assign(buffer.begin(), end);
  for (size_t i = pathSize; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], kWatch) << "written past the path at " << i;
  return d;
}

const char kPath[] = "\\\\?\\ROOT#VID_FFF1&PID_A14C&MI_00#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
const wchar_t kPathW[] = L"\\\\?\\ROOT#VID_FFF1&PID_A14C&MI_00#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}";

TEST(NoticeFormTest, BothFormsGiveTheSamePathAndClass) {
  const Decoded ansi = Decode(NoticeBytes(AnsiName(kPath)));
  ASSERT_TRUE(ansi.ok);
  EXPECT_EQ(ansi.form, NoticeForm::Ansi);
  EXPECT_EQ(ansi.path, kPath);
  EXPECT_EQ(std::memcmp(&ansi.cls, &kCapture, sizeof kCapture), 0);

  const Decoded wide = Decode(NoticeBytes(WideName(kPathW)));
  ASSERT_TRUE(wide.ok);
  EXPECT_EQ(wide.form, NoticeForm::Wide);
  EXPECT_EQ(wide.path, kPath);
  EXPECT_EQ(std::memcmp(&wide.cls, &kCapture, sizeof kCapture), 0);

  // Case is kept as sent; comparing is the matcher's business.
  EXPECT_EQ(Decode(NoticeBytes(WideName(L"\\\\?\\root#vid_fff1"))).path, "\\\\?\\root#vid_fff1");
  EXPECT_EQ(Decode(NoticeBytes(AnsiName("\\\\?\\Root#Vid_FFF1"))).path, "\\\\?\\Root#Vid_FFF1");
  // Anything after the name's zero is not part of it.
  auto trailing = AnsiName("AB");
  trailing.insert(trailing.end(), {'C', 'D', 0});
  EXPECT_EQ(Decode(NoticeBytes(trailing)).path, "AB");
  auto trailingW = WideName(L"AB");
  trailingW.insert(trailingW.end(), {'C', 0, 0, 0});
  EXPECT_EQ(Decode(NoticeBytes(trailingW)).path, "AB");
}

TEST(NoticeFormTest, ANameWithoutItsZeroEndsWithTheNotice) {
  // Sizes that end anywhere in the name, in both forms: the path is what the
  // size covers, and the guard page shows that nothing further is read.
  const std::string full = "\\\\?\\ROOT#VID";
  for (size_t keep = 0; keep <= full.size(); ++keep) {
    const Decoded a = Decode(Cut(NoticeBytes(AnsiName(full)), kNameAt + keep));
    ASSERT_TRUE(a.ok) << keep;
    EXPECT_EQ(a.path, full.substr(0, keep)) << keep;
  }
  const std::wstring fullW(full.begin(), full.end());
  for (size_t bytes = 0; bytes <= fullW.size() * 2; ++bytes) {
    const Decoded w = Decode(Cut(NoticeBytes(WideName(fullW)), kNameAt + bytes));
    ASSERT_TRUE(w.ok) << bytes;
    // An odd size leaves half a character, which is not read; one byte alone
    // is a one-character ANSI name, and that reads the same.
    const size_t chars = bytes == 1 ? 1 : bytes / 2;
    EXPECT_EQ(w.path, full.substr(0, chars)) << bytes;
    if (bytes >= 2) {
      EXPECT_EQ(w.form, NoticeForm::Wide) << bytes;
    }
  }
}

TEST(NoticeFormTest, EmptyAndOneCharacterNames) {
  // No name bytes at all, an empty name in each form, and one character.
  const Decoded none = Decode(Cut(NoticeBytes({}), kNameAt));
  EXPECT_TRUE(none.ok);
  EXPECT_EQ(none.path, "");
  EXPECT_EQ(Decode(NoticeBytes(AnsiName(""))).path, "");
  EXPECT_EQ(Decode(NoticeBytes(WideName(L""))).path, "");
  EXPECT_TRUE(Decode(NoticeBytes(WideName(L""))).ok);
  EXPECT_EQ(Decode(NoticeBytes(AnsiName("Q"))).path, "Q");
  EXPECT_EQ(Decode(NoticeBytes(WideName(L"Q"))).path, "Q");
  // Zeros all the way: still empty, still in bounds.
  EXPECT_EQ(Decode(NoticeBytes(std::vector<BYTE>(7, 0))).path, "");
}

TEST(NoticeFormTest, NoticesTooShortOrOfAnotherKindAreRefused) {
  const auto good = NoticeBytes(AnsiName(kPath));
  // Sizes below the header: not even the device type is read.
  for (size_t size : {0u, 3u, 4u, 8u, 11u}) {
    const Decoded d = Decode(Cut(good, size));
    EXPECT_FALSE(d.ok) << size;
    EXPECT_EQ(d.path, "") << size;
  }
  // A header, but not the whole class.
  for (size_t size : {12u, 20u, 27u}) EXPECT_FALSE(Decode(Cut(good, size)).ok) << size;
  EXPECT_TRUE(Decode(Cut(good, 28)).ok);

  const DWORD otherKinds[] = {DBT_DEVTYP_VOLUME, DBT_DEVTYP_HANDLE, DBT_DEVTYP_PORT, 0};
  for (DWORD type : otherKinds) {
    EXPECT_FALSE(Decode(NoticeBytes(AnsiName(kPath), type)).ok) << type;
    EXPECT_FALSE(Decode(NoticeBytes(WideName(kPathW), type)).ok) << type;
  }

  char path[8] = "x";
  GUID cls{};
  EXPECT_FALSE(ReadInterfaceNotice(nullptr, path, sizeof path, &cls));
  EXPECT_FALSE(ReadInterfaceNotice(good.data(), nullptr, sizeof path, &cls));
  EXPECT_FALSE(ReadInterfaceNotice(good.data(), path, 0, &cls));
  EXPECT_EQ(path[0], 'x') << "a path of no room is not written";
  EXPECT_TRUE(ReadInterfaceNotice(good.data(), path, sizeof path, nullptr)) << "the class is optional";
  EXPECT_STREQ(path, "\\\\?\\ROO");
}

TEST(NoticeFormTest, LongNamesAreCutToThePathBuffer) {
  const std::string longName(3000, 'q');
  const std::wstring longNameW(3000, L'q');
  for (size_t room : {1u, 2u, 64u, 1024u}) {
    EXPECT_EQ(Decode(NoticeBytes(AnsiName(longName)), room).path, longName.substr(0, room - 1)) << room;
    EXPECT_EQ(Decode(NoticeBytes(WideName(longNameW)), room).path, longName.substr(0, room - 1)) << room;
  }
  // A name that fits exactly.
  EXPECT_EQ(Decode(NoticeBytes(AnsiName("abc")), 4).path, "abc");
  EXPECT_EQ(Decode(NoticeBytes(WideName(L"abc")), 4).path, "abc");
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
