// The capture dialog's texts from language files broken in every way: every
// key of its section as a 100,000-character line, random bytes, duplicate
// keys, no section. Each text stays terminated inside its slot, nothing is
// written past the table, and a text that cannot be read keeps its default.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "grab_texts.h"
#include "registry_view.h"
#include "settings.h"
#include "wintest.h"

namespace {

const char* const kKeys[] = {"MsgCaption0", "MsgString3", "MsgString4",  "MsgString5",  "MsgString7", "MsgString8",
                             "MsgString9",  "MsgString11", "MsgString13", "DlgString3", "DlgString4", "DlgString5",
                             "DlgString6",  "DlgString7", "DlgString16", "DlgString17"};

class BadGrabLanguage : public ::testing::Test {
 protected:
  void SetUp() override {
    wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath);
    z9::SetRegistryViewFlag(z9::ComputeRegistryViewFlag());
    dir_ = wintest::WindowsDir() + "\\z9twn_badlang";
    ASSERT_TRUE(wintest::MakeDirs(dir_));
    file_ = dir_ + "\\LG1031.dat";
    ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "LangFilePath", dir_));
    ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "MultiLangID", 1031));
  }
  void TearDown() override {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file_.c_str());
    wintest::DeleteFileIfAny(file_);
    wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath);
  }
  void Write(const std::string& text) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file_.c_str());  // no cached copy
    ASSERT_TRUE(wintest::WriteFileBytes(file_, text));
  }

  // The table loaded into memory filled with '#', with guard bytes after it.
  struct Guarded {
    z9twn::GrabTexts texts;
    char guard[64];
  };
  void Load(Guarded* g) {
    std::memset(g, '#', sizeof *g);
    z9twn::LoadGrabTexts(&g->texts);
    for (char c : g->guard) ASSERT_EQ(c, '#') << "written past the table";
  }
  // The slots in key order.
  static const char* Slot(const z9twn::GrabTexts& t, size_t i) {
    return reinterpret_cast<const char*>(&t) + i * z9twn::kGrabTextSize;
  }
  static void ExpectBounded(const z9twn::GrabTexts& t) {
    for (size_t i = 0; i < 16; ++i)
      EXPECT_LT(strnlen(Slot(t, i), z9twn::kGrabTextSize), z9twn::kGrabTextSize) << kKeys[i] << " not terminated";
  }

  std::string dir_, file_;
};

TEST_F(BadGrabLanguage, EveryKeyAHundredThousandCharacters) {
  static_assert(sizeof(z9twn::GrabTexts) == 16 * z9twn::kGrabTextSize, "slots in key order, nothing between");
  // Each key its own filler, so that a text landing in another key's slot shows.
  std::string text = "[Grabdlg]\r\n";
  for (size_t i = 0; i < 16; ++i) text += std::string(kKeys[i]) + "=" + std::string(100000, char('a' + i)) + "\r\n";
  Write(text);
  Guarded g;
  Load(&g);
  ExpectBounded(g.texts);
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(std::string(Slot(g.texts, i)), std::string(249, char('a' + i))) << kKeys[i];
}

TEST_F(BadGrabLanguage, RandomBytesDuplicateKeysAndNoSection) {
  z9twn::GrabTexts defaults;
  z9twn::UseDefaultGrabTexts(&defaults);
  std::mt19937 random(99);
  for (int round = 0; round < 10; ++round) {
    SCOPED_TRACE(round);
    std::string junk(3000, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    Guarded g;
    Write(junk);
    Load(&g);
    ExpectBounded(g.texts);
    Write("[Grabdlg]\r\n" + junk + "\r\nDlgString3=" + junk.substr(0, 400) + "\r\n");
    Load(&g);
    ExpectBounded(g.texts);
  }
  Guarded g;
  Write("[Grabdlg]\r\nDlgString3=First\r\nDlgString3=Second\r\n");
  Load(&g);
  EXPECT_STREQ(g.texts.dlgString3, "First");
  Write("DlgString3=No section\r\nMsgCaption0=No section\r\n");
  Load(&g);
  for (size_t i = 0; i < 16; ++i) EXPECT_STREQ(Slot(g.texts, i), Slot(defaults, i)) << kKeys[i];
}

}  // namespace
