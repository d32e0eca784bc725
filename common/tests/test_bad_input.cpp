// Language files and settings values that are broken in every way a user,
// an old installer or a damaged disk could leave them: the texts stay
// bounded and terminated, numbers come from at most four stored bytes, and
// what cannot be read takes its default.
#include <cstring>
#include <random>
#include <string>

#include "language.h"
#include "settings_fixture.h"

using namespace z9;

namespace {

const char kFolder[] = "D:\\Lbad";
const char kFile[] = "D:\\Lbad\\LG1031.dat";

class BadLanguageFile : public SettingsKeyTest {
 protected:
  void SetUp() override {
    SettingsKeyTest::SetUp();
    ASSERT_TRUE(wintest::MakeDirs(kFolder)) << "the prefix needs a D: drive";
    SetString("LangFilePath", kFolder);
    SetDword("MultiLangID", 1031);
  }
  void TearDown() override {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kFile);
    wintest::DeleteFileIfAny(kFile);
    SettingsKeyTest::TearDown();
  }
  void Write(const std::string& text) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kFile);  // no cached copy
    ASSERT_TRUE(wintest::WriteFileBytes(kFile, text));
  }
  // The monitor's warning text, loaded into a slot filled with 'x' first:
  // it must end with a zero inside the slot.
  std::string Warning() {
    MonitorStrings s;
    std::memset(&s, 'x', sizeof s);
    LoadMonitorStrings(&s);
    const size_t n = strnlen(s.dmpString2, sizeof s.dmpString2);
    EXPECT_LT(n, sizeof s.dmpString2) << "the text is not terminated inside its slot";
    return std::string(s.dmpString2, n);
  }
  // A table of several slots with guard bytes after each.
  struct Slots {
    char a[64 + 8];
    char b[64 + 8];
  };
  void LoadTable(Slots* s) {
    std::memset(s, '#', sizeof *s);
    LangText texts[] = {{"MsgString1", "Default one", s->a}, {"DlgString2", "Default two", s->b}};
    LoadLanguageTexts(LangLookup{}, LangTable{"PropertyPage", texts, 2, 64, 64});
    for (int i = 64; i < 72; ++i) {
      EXPECT_EQ('#', s->a[i]) << "written past slot a";
      EXPECT_EQ('#', s->b[i]) << "written past slot b";
    }
    EXPECT_LT(strnlen(s->a, 64), 64u);
    EXPECT_LT(strnlen(s->b, 64), 64u);
  }
};

TEST_F(BadLanguageFile, AHundredThousandCharacterLine) {
  // As the entry's text: cut to the slot.
  Write("[StillMnt]\r\nDmpString2=" + std::string(100000, 'A') + "\r\n");
  EXPECT_EQ(std::string(249, 'A'), Warning());
  // As a line of its own before the section: the entry after it is found.
  Write(std::string(100000, 'q') + "\r\n[StillMnt]\r\nDmpString2=After the long line\r\n");
  EXPECT_EQ("After the long line", Warning());
  // As a key name and as a section name.
  Write("[StillMnt]\r\n" + std::string(100000, 'K') + "=x\r\nDmpString2=Short\r\n");
  EXPECT_EQ("Short", Warning());
  Write("[" + std::string(100000, 'S') + "]\r\nDmpString2=Wrong section\r\n");
  EXPECT_EQ(kDisconnectWarning, Warning());
  Slots s;
  Write("[PropertyPage]\r\nMsgString1=" + std::string(100000, 'm') + "\r\nDlgString2=two\r\n");
  LoadTable(&s);
  EXPECT_EQ(std::string(63, 'm'), std::string(s.a));
  EXPECT_STREQ("two", s.b);
}

TEST_F(BadLanguageFile, BinaryBytes) {
  std::mt19937 random(1234);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    std::string junk(4000, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    // Pure junk, junk around a good section, junk inside the text.
    Write(junk);
    Warning();
    Write(junk + "\r\n[StillMnt]\r\nDmpString2=Good\r\n" + junk);
    const std::string w = Warning();
    EXPECT_LE(w.size(), 249u);
    Write(std::string("[StillMnt]\r\nDmpString2=A\x01\x02\x7f\xff\x80 B\r\n"));
    EXPECT_EQ("A\x01\x02\x7f\xff\x80 B", Warning()) << "bytes are kept as they are";
    Slots s;
    Write(junk);
    LoadTable(&s);
  }
  // A zero byte in the middle of a text.
  Write(std::string("[StillMnt]\r\nDmpString2=Before\0After\r\n", 35));
  const std::string w = Warning();
  EXPECT_TRUE(w == "Before" || w == kDisconnectWarning) << w;
}

TEST_F(BadLanguageFile, NoSectionAtAll) {
  Write("DmpString2=No section\r\nMsgString1=No section\r\n");
  EXPECT_EQ(kDisconnectWarning, Warning());
  Write("");
  EXPECT_EQ(kDisconnectWarning, Warning());
  Write("[StillMnt");  // a section header without its bracket, nothing else
  EXPECT_EQ(kDisconnectWarning, Warning());
  Slots s;
  Write("MsgString1=No section\r\n");
  LoadTable(&s);
  EXPECT_STREQ("Default one", s.a);
  EXPECT_STREQ("Default two", s.b);
}

TEST_F(BadLanguageFile, DuplicateKeysAndSectionsTakeTheFirst) {
  Write("[StillMnt]\r\nDmpString2=First\r\nDmpString2=Second\r\n");
  EXPECT_EQ("First", Warning());
  Write("[StillMnt]\r\nDmpString2=\r\nDmpString2=Second\r\n");
  const std::string w = Warning();
  EXPECT_TRUE(w == kDisconnectWarning || w == "Second") << w;
  Write("[StillMnt]\r\nOther=1\r\n[StillMnt]\r\nDmpString2=In the second copy\r\n");
  const std::string v = Warning();
  EXPECT_TRUE(v == "In the second copy" || v == kDisconnectWarning) << v;
}

TEST_F(BadLanguageFile, PathsThatDoNotExistOrDoNotFit) {
  Write("[StillMnt]\r\nDmpString2=Translated\r\n");
  EXPECT_EQ("Translated", Warning());
  for (const std::string& path :
       {std::string("D:\\no\\such\\folder"), std::string("Q:\\"), std::string(""), std::string("\\\\?\\"),
        std::string(249, 'p'), std::string(240, 'D') + "\\x", std::string("D:\\Lbad\\LG1031.dat")}) {
    SCOPED_TRACE(path.substr(0, 40));
    SetString("LangFilePath", path);
    EXPECT_EQ(kDisconnectWarning, Warning());
  }
  // Longer than the setting's 250 bytes: not read at all.
  SetString("LangFilePath", std::string(400, 'D'));
  EXPECT_EQ(kDisconnectWarning, Warning());
  // The folder as binary bytes without a terminator, exactly 250 of them.
  SetBytes("LangFilePath", std::string(250, 'Z'), REG_BINARY);
  EXPECT_EQ(kDisconnectWarning, Warning());
  // A language number that makes a long name.
  SetString("LangFilePath", kFolder);
  SetDword("MultiLangID", 0xFFFFFFFF);
  EXPECT_EQ(kDisconnectWarning, Warning());
}

// Stored forms of a value that no deliverable writes.
struct Stored {
  const char* what;
  DWORD type;
  std::string bytes;
};

std::vector<Stored> Forms() {
  return {
      {"empty binary", REG_BINARY, ""},
      {"one byte", REG_BINARY, std::string("\x05", 1)},
      {"three bytes", REG_BINARY, std::string("\x01\x02\x03", 3)},
      {"four bytes as text", REG_SZ, std::string("\x07\x00\x00\x00", 4)},
      {"text", REG_SZ, std::string("12345\0", 6)},
      {"five bytes", REG_BINARY, std::string("\x01\x02\x03\x04\x05", 5)},
      {"qword", REG_QWORD, std::string("\x01\0\0\0\0\0\0\0", 8)},
      {"multi text", REG_MULTI_SZ, std::string("a\0b\0\0", 5)},
      {"64 random bytes", REG_BINARY, std::string(64, '\xA5')},
      {"big-endian dword", REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\x01", 4)},
      {"unknown type", 77, std::string("\x09\0\0\0", 4)},
  };
}

// What a 4-byte read makes of the bytes: the little-endian number of up to
// four bytes, or nothing for more.
bool ExpectedNumber(const std::string& bytes, DWORD* out) {
  if (bytes.size() > 4) return false;
  DWORD v = 0;
  for (size_t i = 0; i < bytes.size(); ++i) v |= static_cast<DWORD>(static_cast<uint8_t>(bytes[i])) << (8 * i);
  *out = v;
  return true;
}

class BadSettings : public SettingsKeyTest {};

TEST_F(BadSettings, EveryNumberAnyDeliverableReadsTakesAtMostFourBytes) {
  const char* const numbers[] = {"MultiLangID", "MSNNotifySupport", "DeviceStatus", "AudioStatus",
                                 "PlaySound",   "PropertyPage",     "DefaultFlip"};
  for (const char* name : numbers) {
    for (const Stored& f : Forms()) {
      SCOPED_TRACE(testing::Message() << name << ", " << f.what);
      SetBytes(name, f.bytes, f.type);
      DWORD want = 0;
      const bool readable = ExpectedNumber(f.bytes, &want);
      DWORD v = 0xDEADBEEF;
      EXPECT_EQ(readable ? 1 : 0, ReadSettingDwordInto(name, &v));
      EXPECT_EQ(readable ? want : 0xDEADBEEFu, v) << "an unreadable value leaves the default";
      DWORD w = 0xDEADBEEF;
      EXPECT_EQ(readable ? 1 : 0, ReadSettingDword(name, &w));
      EXPECT_EQ(readable ? want : 0u, w);
    }
  }
}

TEST_F(BadSettings, EveryTextAnyDeliverableReadsStaysInsideItsBuffer) {
  struct Text {
    const char* name;
    size_t size;
  };
  const Text texts[] = {{"LangFilePath", kLangFilePathSize}, {"DeviceId", kDeviceIdSize},
                        {"DeviceId1", kDeviceIdSize},        {"FriendlyName", 256}};
  for (const Text& t : texts) {
    std::vector<Stored> forms = Forms();
    forms.push_back({"exactly the buffer, no zero", REG_BINARY, std::string(t.size, 'T')});
    forms.push_back({"one less than the buffer, no zero", REG_SZ, std::string(t.size - 1, 'T')});
    forms.push_back({"far longer", REG_SZ, std::string(5000, 'T')});
    forms.push_back({"a dword", REG_DWORD, std::string("\x41\x42\x43\x44", 4)});
    for (const Stored& f : forms) {
      SCOPED_TRACE(testing::Message() << t.name << ", " << f.what);
      SetBytes(t.name, f.bytes, f.type);
      std::vector<char> buf(t.size + 16, '#');
      UniqueHKey key;
      ASSERT_TRUE(OpenSettingsKey(kSettingsRead, &key));
      const bool ok = QueryTextValue(key.get(), t.name, buf.data(), t.size);
      for (size_t i = t.size; i < buf.size(); ++i) ASSERT_EQ('#', buf[i]) << "written past the buffer";
      const size_t n = strnlen(buf.data(), t.size);
      EXPECT_LT(n, t.size) << "not terminated inside the buffer";
      if (!ok) EXPECT_EQ(0u, n);
      if (ok && f.bytes.size() <= t.size) {
        EXPECT_EQ(f.bytes.substr(0, std::min(n, f.bytes.size())), std::string(buf.data(), n));
      }
    }
  }
  // The device instance name falls back when the stored one cannot be read.
  SetBytes("DeviceId", std::string(5000, 'T'), REG_SZ);
  char name[kDeviceIdSize];
  EXPECT_FALSE(ReadDeviceInstanceName(name));
  EXPECT_STREQ(kDefaultDeviceInstanceName, name);
  SetBytes("DeviceId", std::string(kDeviceIdSize, 'T'), REG_BINARY);
  EXPECT_TRUE(ReadDeviceInstanceName(name));
  EXPECT_EQ(kDeviceIdSize - 1, strnlen(name, sizeof name));
}

TEST(BadCameraAppPath, TheApplicationPathStaysInsideItsBuffer) {
  const std::string key = kCameraAppPathKey;
  // The bench's stand-in application is registered here: put it back after.
  std::string saved;
  const bool hadValue = wintest::RegGetString(HKEY_LOCAL_MACHINE, key, nullptr, &saved);
  const std::vector<Stored> forms = {
      {"empty", REG_SZ, ""},
      {"exactly the buffer, no zero", REG_BINARY, std::string(kAppPathSize, 'P')},
      {"far longer", REG_SZ, std::string(5000, 'P')},
      {"a dword", REG_DWORD, std::string("\x41\x42\x43\x44", 4)},
  };
  for (const Stored& f : forms) {
    SCOPED_TRACE(f.what);
    ASSERT_TRUE(wintest::RegSetBinary(HKEY_LOCAL_MACHINE, key, nullptr, f.bytes.data(),
                                      static_cast<DWORD>(f.bytes.size()), f.type));
    char path[kAppPathSize];
    std::memset(path, '#', sizeof path);
    const bool ok = ReadCameraAppPath(path);
    EXPECT_LT(strnlen(path, sizeof path), sizeof path);
    if (f.bytes.empty() || f.bytes.size() > kAppPathSize) EXPECT_FALSE(ok);
  }
  if (hadValue)
    EXPECT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, key, nullptr, saved));
  else
    wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, key);
}

}  // namespace
