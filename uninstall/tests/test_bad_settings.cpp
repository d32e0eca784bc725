// What the uninstaller reads, broken in every way an old installer or a
// damaged disk could leave it: device ids stored in every wrong type and
// size (each counted, each text inside its slot and terminated, only a text
// value of 1 to 259 characters before its first zero ever matched), and its
// texts from a language file whose every line is 100,000 characters long.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "registry_view.h"
#include "settings.h"
#include "device_match.h"
#include "uninstall_context.h"
#include "uninstall_texts.h"
#include "wintest.h"

namespace {

using namespace z9rmv;

constexpr char kKey[] = "Software\\Z9RmvBadTest\\Ids";

struct Stored {
  const char* what;
  DWORD type;
  std::string bytes;
  const char* usableAs;  // the id it becomes; nullptr: never matched
};

TEST(BadDeviceIds, OnlyTextsThatFitTheirSlotBecomeIds) {
  std::mt19937 random(31);
  std::string noise(100, '\0');
  for (char& c : noise) c = static_cast<char>(random() | 1);  // no zero byte inside
  const std::string long259 = std::string(259, 'k');
  const std::string upper259 = std::string(259, 'K');
  const std::vector<Stored> forms = {
      // Not text: whatever the bytes spell, never an id.
      {"empty binary", REG_BINARY, "", nullptr},
      {"one byte, no zero", REG_BINARY, "v", nullptr},
      {"text without its zero", REG_BINARY, "vid_fff1", nullptr},
      {"binary USB with a zero", REG_BINARY, std::string("USB\0", 4), nullptr},
      {"dword spelling USB", REG_DWORD, std::string("USB\0", 4), nullptr},
      {"dword", REG_DWORD, std::string("\x41\x42\x43\x44", 4), nullptr},
      {"big-endian dword", REG_DWORD_BIG_ENDIAN, std::string("USB\0", 4), nullptr},
      {"qword", REG_QWORD, std::string("\x41\x42\x43\x44\x45\x46\x47\x48", 8), nullptr},
      {"multi text", REG_MULTI_SZ, std::string("pid_a14c\0other\0\0", 16), nullptr},
      {"100 noise bytes", REG_BINARY, noise, nullptr},
      {"4097 bytes, no zero", REG_BINARY, std::string(4097, 'M'), nullptr},
      {"unknown type", 99, std::string("VID_1\0", 6), nullptr},
      {"none type", REG_NONE, std::string("VID_2\0", 6), nullptr},
      // Text: up to its first zero, upper-cased, when it fits.
      {"plain text", REG_SZ, std::string("vid_fff1\0", 9), "VID_FFF1"},
      {"text without its zero, as text", REG_SZ, "vid_fff1", "VID_FFF1"},
      {"a zero in the middle", REG_SZ, std::string("VID\0PID", 7), "VID"},
      {"a zero first", REG_SZ, std::string("\0VID", 4), nullptr},
      {"expand text, not expanded", REG_EXPAND_SZ, std::string("%WINDIR%\0", 9), "%WINDIR%"},
      {"259 characters", REG_SZ, long259 + std::string(1, '\0'), upper259.c_str()},
      {"259 characters, no zero", REG_SZ, long259, upper259.c_str()},
      {"260 characters", REG_SZ, std::string(260, 'k') + std::string(1, '\0'), nullptr},
      {"4096 bytes", REG_SZ, std::string(4095, 'L') + std::string(1, '\0'), nullptr},
      {"4097 bytes", REG_SZ, std::string(4096, 'L') + std::string(1, '\0'), nullptr},
  };
  wintest::RegDeleteKeyTree(HKEY_CURRENT_USER, "Software\\Z9RmvBadTest");
  for (size_t i = 0; i < forms.size(); ++i) {
    const std::string name = i == 0 ? "DeviceId" : "DeviceId" + std::to_string(i);
    ASSERT_TRUE(wintest::RegSetBinary(HKEY_CURRENT_USER, kKey, name.c_str(), forms[i].bytes.data(),
                                      static_cast<DWORD>(forms[i].bytes.size()), forms[i].type));
  }
  UninstallContext ctx;
  std::memset(ctx.deviceIds, '#', sizeof ctx.deviceIds);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
  ReadDeviceIds(key, &ctx);
  RegCloseKey(key);
  wintest::RegDeleteKeyTree(HKEY_CURRENT_USER, "Software\\Z9RmvBadTest");

  ASSERT_EQ(ctx.deviceCount, static_cast<int>(forms.size())) << "every stored value counts";
  EXPECT_TRUE(ctx.devicesKnown);
  for (size_t i = 0; i < forms.size(); ++i) {
    SCOPED_TRACE(forms[i].what);
    const DeviceId& id = ctx.deviceIds[i];
    const size_t n = strnlen(id.text, sizeof id.text);
    ASSERT_LT(n, sizeof id.text) << "not terminated inside its slot";
    if (forms[i].usableAs != nullptr) {
      EXPECT_TRUE(id.usable);
      EXPECT_EQ(std::string(id.text), forms[i].usableAs);
    } else {
      EXPECT_FALSE(id.usable) << "taken as \"" << id.text << '"';
      EXPECT_EQ(n, 0u);
    }
  }
  // Not one of the values that are no id matches a hardware id they spell.
  EXPECT_EQ(MatchDeviceId("USB\\VID_FFF1&PID_A14C", ctx.deviceIds, 13), -1);
}

TEST(BadUninstallLanguage, EveryKeyAHundredThousandCharacters) {
  const char* const keys[] = {"MsgCaption0", "MsgString0", "MsgString1", "MsgString2",
                              "MsgString3",  "MsgString4", "MsgString5"};
  static_assert(sizeof(UninstallTexts) == 7 * kUninstallTextSize, "slots in key order, nothing between");
  const std::string dir = wintest::WindowsDir() + "\\z9rmv_badlang";
  const std::string file = dir + "\\LG1031.dat";
  ASSERT_TRUE(wintest::MakeDirs(dir));
  wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath);
  z9::SetRegistryViewFlag(z9::ComputeRegistryViewFlag());
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "LangFilePath", dir));
  ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "MultiLangID", 1031));
  std::string text = "[CamUnin]\r\n";
  for (const char* key : keys) text += std::string(key) + "=" + std::string(100000, key[9]) + "\r\n";
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
  ASSERT_TRUE(wintest::WriteFileBytes(file, text));

  struct {
    UninstallTexts texts;
    char guard[64];
  } g;
  std::memset(&g, '#', sizeof g);
  LoadUninstallTexts(&g.texts);
  for (char c : g.guard) ASSERT_EQ(c, '#') << "written past the table";
  for (size_t i = 0; i < 7; ++i) {
    const char* slot = reinterpret_cast<const char*>(&g.texts) + i * kUninstallTextSize;
    const size_t n = strnlen(slot, kUninstallTextSize);
    EXPECT_LT(n, kUninstallTextSize) << keys[i] << " not terminated";
    EXPECT_EQ(std::string(slot, n), std::string(kUninstallTextSize - 1, keys[i][9])) << keys[i];
  }
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
  wintest::DeleteFileIfAny(file);
  wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath);
}

}  // namespace
