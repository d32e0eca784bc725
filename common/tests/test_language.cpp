// Language-file lookup against the real registry and profile functions.
#include <cstring>

#include "language.h"
#include "settings_fixture.h"

using namespace z9;

namespace {

const char kFolder[] = "D:\\L";
const char kFile[] = "D:\\L\\LG1031.dat";

class Language : public SettingsKeyTest {
 protected:
  void SetUp() override {
    SettingsKeyTest::SetUp();
    ASSERT_TRUE(wintest::MakeDirs(kFolder)) << "the prefix needs a D: drive";
    wintest::DeleteFileIfAny(kFile);
  }
  void TearDown() override {
    wintest::DeleteFileIfAny(kFile);
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kFile);
    SettingsKeyTest::TearDown();
  }
  void WriteLanguageFile(const std::string& text) { ASSERT_TRUE(wintest::WriteFileBytes(kFile, text)); }
  std::string Warning() {
    MonitorStrings s;
    std::memset(&s, 'x', sizeof s);
    LoadMonitorStrings(&s);
    return std::string(s.dmpString2, strnlen(s.dmpString2, sizeof s.dmpString2));
  }
};

}  // namespace

TEST(LanguagePath, NameIsFolderBackslashLgNumberDat) {
  char out[64];
  ASSERT_TRUE(LanguageFilePath(out, sizeof out, "C:\\Lang", 1033));
  EXPECT_STREQ("C:\\Lang\\LG1033.dat", out);
  ASSERT_TRUE(LanguageFilePath(out, sizeof out, "D:\\L", 7));
  EXPECT_STREQ("D:\\L\\LG7.dat", out);
  EXPECT_FALSE(LanguageFilePath(out, 12, "C:\\Lang", 1033));
  EXPECT_STREQ("", out);
}

TEST_F(Language, NoKeyOrNoNumberGivesBuiltinText) {
  EXPECT_EQ(kDisconnectWarning, Warning());
  WriteLanguageFile("[StillMnt]\r\nDmpString2=Translated\r\n");
  SetString("LangFilePath", kFolder);  // MultiLangID absent
  EXPECT_EQ(kDisconnectWarning, Warning());
  SetDword("MultiLangID", 1031);
  EXPECT_EQ("Translated", Warning());
}

TEST_F(Language, MissingFileOrEmptyTextGivesBuiltinText) {
  SetString("LangFilePath", kFolder);
  SetDword("MultiLangID", 1031);
  EXPECT_EQ(kDisconnectWarning, Warning());
  WriteLanguageFile("[StillMnt]\r\nDmpString2=\r\n");
  EXPECT_EQ(kDisconnectWarning, Warning());
  WriteLanguageFile("[Other]\r\nDmpString2=Wrong section\r\n");
  EXPECT_EQ(kDisconnectWarning, Warning());
}

TEST_F(Language, LongTextIsCutAndBytesAreKept) {
  SetString("LangFilePath", kFolder);
  SetDword("MultiLangID", 1031);
  WriteLanguageFile("[StillMnt]\r\nDmpString2=" + std::string(300, 'W') + "\r\n");
  EXPECT_EQ(std::string(249, 'W'), Warning());
  WriteLanguageFile("[StillMnt]\r\nDmpString2=Ger\xe4t trennen \xe9\\n\r\n");
  EXPECT_EQ("Ger\xe4t trennen \xe9\\n", Warning()) << "no escapes are interpreted";
}

TEST_F(Language, TableOfSeveralEntriesWithSystemLanguage) {
  char a[256], b[256];
  LangText texts[] = {{"MsgString1", "Default one", a}, {"DlgString2", "Default\ntwo", b}};
  LangTable table = {"PropertyPage", texts, 2, 256, 251};
  LangLookup lookup;
  lookup.number = LangNumberSource::SystemDefaultLanguage;

  char file[64];
  ASSERT_TRUE(LanguageFilePath(file, sizeof file, kFolder, GetSystemDefaultLangID()));
  ASSERT_TRUE(wintest::WriteFileBytes(file, "[PropertyPage]\r\nMsgString1=" + std::string(260, 'z') + "\r\n"));
  SetString("LangFilePath", kFolder);  // no MultiLangID needed here
  LoadLanguageTexts(lookup, table);
  EXPECT_EQ(std::string(250, 'z'), a);
  EXPECT_STREQ("Default\ntwo", b);
  wintest::DeleteFileIfAny(file);
}
