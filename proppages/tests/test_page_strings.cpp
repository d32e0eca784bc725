// The page string table from the language file, and the restart request
// that reports its failure with two of those texts.
#include "dex_test_support.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "page_strings.h"
#include "registry_view.h"
#include "restart_windows.h"
#include "settings.h"

using namespace dextest;

namespace {

const char kLangDir[] = "D:\\z9pagelang";

// The English texts, written out here rather than taken from the library's
// own table, in reading order.
struct KeyText {
  const char* key;
  const char* text;
};
const KeyText kEnglish[] = {
    {"MsgString0", "You must restart your computer for this change to take effect.\nDo you want to restart your computer now ?"},
    {"MsgCaption0", "Setting Change"},
    {"MsgString1", "Can not restart Windows !"},
    {"MsgCaption1", "ERROR"},
    {"DlgString0", "Auto White Balance"},
    {"DlgString1", "Environment"},
    {"DlgString2", "Auto"},
    {"DlgString3", "Tungsten"},
    {"DlgString4", "Daylight"},
    {"DlgString5", "Fluorescent"},
    {"DlgString6", "RGB gain"},
    {"DlgString7", "R"},
    {"DlgString8", "G"},
    {"DlgString9", "B"},
    {"DlgString10", "Rotation"},
    {"DlgString11", "Horizontal"},
    {"DlgString12", "Vertical"},
    {"DlgString13", "Frequency"},
    {"DlgString14", "Outdoor"},
    {"DlgString15", "50 Hz"},
    {"DlgString16", "60 Hz"},
    {"DlgString17", "Extension"},
    {"DlgString18", "640 x 480"},
    {"DlgString19", "800 x 600"},
    {"DlgString20", "1024 x 768"},
    {"DlgString21", "1280 x 960"},
    {"DlgString22", "Selective Suspend"},
    {"DlgString23", "Default"},
    {"DlgString24", "Property Page"},
    {"DlgString25", "Brightness"},
    {"DlgString26", "Contrast"},
    {"DlgString27", "Hue"},
    {"DlgString28", "Saturation"},
    {"DlgString29", "Sharpness"},
    {"DlgString30", "Gamma"},
    {"DlgString31", "White Balance"},
    {"DlgString32", "Backlight Comp"},
    {"DlgString33", "ColorEnable"},
    {"DlgString34", "Default"},
    {"DlgString35", "Auto"},
    {"DlgString36", "Zoom"},
    {"DlgString37", "Focus"},
    {"DlgString38", "Exposure"},
    {"DlgString39", "Iris"},
    {"DlgString40", "Pan"},
    {"DlgString41", "Tilt"},
    {"DlgString42", "Roll"},
    {"DlgString49", "Low Light Compensation"},
    {"DlgString43", "Video Proc Amp"},
    {"DlgString44", "Camera Control"},
    {"DlgString45", "Gain"},
    {"DlgString46", "(Anti Flick)"},
    {"DlgString50", "Image Control"},
    {"DlgString51", "Face Tracking"},
    {"DlgString52", "Special Effects"},
    {"DlgString53", "Rim 1"},
    {"DlgString54", "Rim 2"},
    {"DlgString55", "Rim 3"},
    {"DlgString56", "Rim 4"},
    {"DlgString57", "Rim 5"},
    {"DlgString58", "Rim 6"},
    {"DlgString59", "Rim 7"},
    {"DlgString60", "Rim 8"},
    {"DlgString61", "Rim 9"},
    {"DlgString62", "Rim 10"},
    {"DlgString63", "Negative"},
    {"DlgString64", "TV Effect"},
    {"DlgString65", "Mosaic1"},
    {"DlgString66", "Mosaic2"},
    {"DlgString67", "Frosted Glass"},
    {"DlgString68", "Sketch1"},
    {"DlgString69", "Sketch2"},
    {"DlgString70", "Emboss"},
    {"DlgString71", "Aged Photo"},
    {"DlgString72", "TV Wall"},
    {"DlgString73", "EffectR21"},
    {"DlgString74", "EffectR22"},
    {"DlgString75", "EffectR23"},
    {"DlgString76", "EffectR24"},
    {"DlgString77", "EffectR25"},
    {"DlgString78", "EffectR26"},
    {"DlgString79", "EffectR27"},
    {"DlgString80", "EffectR28"},
    {"DlgString81", "EffectR29"},
    {"DlgString82", "EffectR30"},
    {"DlgString90", "Default"},
    {"DlgString91", "Image Control"},
    {"DlgString92", "Auto Control"},
    {"DlgString93", "Banding"},
    {"DlgString94", "Extra Control"},
    {"DlgString95", "SnapShot Size"},
};

class PageStrings : public ::testing::Test {
 protected:
  void SetUp() override {
    z9::SetRegistryViewFlag(z9::ComputeRegistryViewFlag());
    wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath);
    ASSERT_TRUE(wintest::MakeDirs(kLangDir));
    file_ = std::string(kLangDir) + "\\LG" + std::to_string(GetSystemDefaultLangID()) + ".dat";
    wintest::DeleteFileIfAny(file_);
  }
  void TearDown() override {
    wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath);
    wintest::DeleteFileIfAny(file_);
    z9::LoadPageStrings();  // back to the defaults for whoever follows
  }
  void SetPath(const char* path) {
    ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "LangFilePath", path));
  }
  void Write(const char* key, const std::string& text) {
    ASSERT_TRUE(wintest::IniWrite(file_, "PropertyPage", key, text.c_str()));
  }
  static void ExpectAllDefaults() {
    for (const KeyText& e : kEnglish) EXPECT_STREQ(z9::PageString(e.key), e.text) << e.key;
  }

  std::string file_;
};

TEST_F(PageStrings, EveryKeyAndDefaultIsTheEnglishTextInReadingOrder) {
  ASSERT_EQ(z9::PageStringCount(), sizeof kEnglish / sizeof kEnglish[0]);
  for (size_t i = 0; i < z9::PageStringCount(); ++i) {
    ASSERT_NE(z9::PageStringKey(i), nullptr) << i;
    EXPECT_STREQ(z9::PageStringKey(i), kEnglish[i].key) << "position " << i;
    EXPECT_STREQ(z9::PageStringDefault(kEnglish[i].key), kEnglish[i].text) << kEnglish[i].key;
  }
}

TEST_F(PageStrings, TableHoldsEveryKeyOnceInReadingOrder) {
  std::vector<std::string> keys;
  for (size_t i = 0; i < z9::PageStringCount(); ++i) keys.push_back(z9::PageStringKey(i));
  EXPECT_EQ(z9::PageStringKey(z9::PageStringCount()), nullptr);
  ASSERT_EQ(keys.size(), 91u);
  EXPECT_EQ(keys[0], "MsgString0");
  EXPECT_EQ(keys[1], "MsgCaption0");
  EXPECT_EQ(keys[3], "MsgCaption1");
  EXPECT_EQ(keys[4], "DlgString0");
  // 49 sits between 42 and 43; 47, 48 and 83 to 89 do not exist.
  auto at = [&](const char* k) { return std::find(keys.begin(), keys.end(), k) - keys.begin(); };
  EXPECT_EQ(at("DlgString49"), at("DlgString42") + 1);
  EXPECT_EQ(at("DlgString43"), at("DlgString49") + 1);
  for (const char* absent : {"DlgString47", "DlgString48", "DlgString83", "DlgString89", "DlgString96"})
    EXPECT_EQ(at(absent), static_cast<long>(keys.size())) << absent;
  EXPECT_EQ(keys.back(), "DlgString95");
  std::vector<std::string> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end()) << "a key is listed twice";

  EXPECT_STREQ(z9::PageStringDefault("MsgString0"),
               "You must restart your computer for this change to take effect.\n"
               "Do you want to restart your computer now ?");
  EXPECT_STREQ(z9::PageStringDefault("DlgString46"), "(Anti Flick)");
  EXPECT_STREQ(z9::PageStringDefault("DlgString62"), "Rim 10");
  EXPECT_STREQ(z9::PageStringDefault("DlgString82"), "EffectR30");
  EXPECT_STREQ(z9::PageString("NoSuchKey"), "");
  EXPECT_STREQ(z9::PageString(nullptr), "");
}

TEST_F(PageStrings, WithoutKeyPathOrFileEveryTextIsTheDefault) {
  z9::LoadPageStrings();  // no settings key at all
  ExpectAllDefaults();

  ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "MultiLangID", 1031));
  z9::LoadPageStrings();  // a key without "LangFilePath"
  ExpectAllDefaults();

  SetPath(kLangDir);  // a folder without the file
  z9::LoadPageStrings();
  ExpectAllDefaults();
}

TEST_F(PageStrings, TheFileReplacesTheTextsItHasAndOnlyThose) {
  SetPath(kLangDir);
  Write("DlgString25", "Helligkeit");
  Write("MsgCaption1", "FEHLER");
  Write("DlgString49", "Wenig Licht");
  Write("DlgString95", "Fotogroesse");
  Write("DlgString26", "");             // empty: the default stays
  Write("DlgString47", "not a key");    // no such entry
  Write("MsgString0", "Neu starten?\\nJetzt?");  // kept as written
  z9::LoadPageStrings();

  EXPECT_STREQ(z9::PageString("DlgString25"), "Helligkeit");
  EXPECT_STREQ(z9::PageString("MsgCaption1"), "FEHLER");
  EXPECT_STREQ(z9::PageString("DlgString49"), "Wenig Licht");
  EXPECT_STREQ(z9::PageString("DlgString95"), "Fotogroesse");
  EXPECT_STREQ(z9::PageString("MsgString0"), "Neu starten?\\nJetzt?");
  EXPECT_STREQ(z9::PageString("DlgString26"), "Contrast");
  EXPECT_STREQ(z9::PageString("DlgString47"), "");
  for (const KeyText& e : kEnglish) {
    const std::string key = e.key;
    if (key == "DlgString25" || key == "MsgCaption1" || key == "DlgString49" || key == "DlgString95" ||
        key == "MsgString0")
      continue;
    EXPECT_STREQ(z9::PageString(e.key), e.text) << key;
  }

  // A reload follows the file.
  Write("DlgString25", "");
  z9::LoadPageStrings();
  EXPECT_STREQ(z9::PageString("DlgString25"), "Brightness");
}

TEST_F(PageStrings, TheFileIsNamedByTheSystemLanguageNotTheSetting) {
  SetPath(kLangDir);
  const DWORD other = GetSystemDefaultLangID() == 1031 ? 1036 : 1031;
  ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "MultiLangID", other));
  const std::string otherFile = std::string(kLangDir) + "\\LG" + std::to_string(other) + ".dat";
  ASSERT_TRUE(wintest::IniWrite(otherFile, "PropertyPage", "DlgString27", "from the setting's file"));
  Write("DlgString28", "from the system language's file");
  z9::LoadPageStrings();
  EXPECT_STREQ(z9::PageString("DlgString27"), "Hue");
  EXPECT_STREQ(z9::PageString("DlgString28"), "from the system language's file");
  wintest::DeleteFileIfAny(otherFile);
}

TEST_F(PageStrings, ALongTextIsCutTo250Characters) {
  SetPath(kLangDir);
  std::string longText;
  for (int i = 0; i < 300; ++i) longText += static_cast<char>('a' + i % 26);
  Write("DlgString30", longText);
  z9::LoadPageStrings();
  EXPECT_EQ(std::string(z9::PageString("DlgString30")), longText.substr(0, 250));
  EXPECT_STREQ(z9::PageString("DlgString31"), "White Balance") << "the next slot is untouched";
}

// ---- restart ------------------------------------------------------------------

struct Recorded {
  int exitCalls = 0;
  UINT exitFlags = 0;
  int boxes = 0;
  HWND owner = nullptr;
  std::string text, caption;
  UINT type = 0;
};
Recorded g_recorded;
BOOL g_exitAnswer = FALSE;

BOOL WINAPI FakeExitWindows(UINT flags, DWORD reason) {
  ++g_recorded.exitCalls;
  g_recorded.exitFlags = flags;
  return g_exitAnswer;
}
int WINAPI FakeMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  ++g_recorded.boxes;
  g_recorded.owner = owner;
  g_recorded.text = text;
  g_recorded.caption = caption;
  g_recorded.type = type;
  return IDOK;
}

bool ShutdownPrivilegeEnabled() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  LUID luid;
  LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid);
  BYTE buffer[4096];
  DWORD length = 0;
  bool enabled = false;
  if (GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &length)) {
    auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(buffer);
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
      if (privileges->Privileges[i].Luid.LowPart == luid.LowPart &&
          privileges->Privileges[i].Luid.HighPart == luid.HighPart)
        enabled = (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
  }
  CloseHandle(token);
  return enabled;
}

TEST_F(PageStrings, ARefusedRestartIsReportedWithTheTableTexts) {
  z9::RestartCalls calls;
  calls.exitWindows = FakeExitWindows;
  calls.messageBox = FakeMessageBox;
  HostWindow host;

  g_recorded = {};
  g_exitAnswer = FALSE;
  z9::LoadPageStrings();
  EXPECT_FALSE(z9::RestartWindows(host.get(), calls));
  EXPECT_EQ(g_recorded.exitCalls, 1);
  EXPECT_EQ(g_recorded.exitFlags, static_cast<UINT>(EWX_REBOOT));
  EXPECT_TRUE(ShutdownPrivilegeEnabled());
  ASSERT_EQ(g_recorded.boxes, 1);
  EXPECT_EQ(g_recorded.owner, host.get());
  EXPECT_EQ(g_recorded.text, "Can not restart Windows !");
  EXPECT_EQ(g_recorded.caption, "ERROR");
  EXPECT_EQ(g_recorded.type & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));

  // Translated texts come from the language file.
  SetPath(kLangDir);
  Write("MsgString1", "Neustart nicht moeglich");
  z9::LoadPageStrings();
  g_recorded = {};
  z9::RestartWindows(host.get(), calls);
  EXPECT_EQ(g_recorded.text, "Neustart nicht moeglich");
  EXPECT_EQ(g_recorded.caption, "ERROR");

  // An accepted request shows nothing.
  g_recorded = {};
  g_exitAnswer = TRUE;
  EXPECT_TRUE(z9::RestartWindows(host.get(), calls));
  EXPECT_EQ(g_recorded.exitCalls, 1);
  EXPECT_EQ(g_recorded.boxes, 0);
}

}  // namespace
