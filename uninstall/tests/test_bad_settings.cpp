// What the uninstaller reads, broken in every way an old installer or a
// damaged disk could leave it: device ids stored in every wrong type and
// size (each counted, each text inside its slot and terminated, only a text
// of 1 to 31 characters before its first zero ever matched), and its texts
// from a language file whose every line is 100,000 characters long.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "registry_view.h"
#include "settings.h"
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
};

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

TEST(BadDeviceIds, EveryTypeAndSizeStaysInItsSlot) {
  std::mt19937 random(31);
  std::string noise(100, '\0');
  for (char& c : noise) c = static_cast<char>(random() | 1);  // no zero byte inside
  const std::vector<Stored> forms = {
      {"empty binary", REG_BINARY, ""},
      {"one byte, no zero", REG_BINARY, "v"},
      {"text without its zero", REG_BINARY, "vid_fff1"},
      {"a zero in the middle", REG_BINARY, std::string("VID\0PID", 7)},
      {"a zero first", REG_BINARY, std::string("\0VID", 4)},
      {"dword", REG_DWORD, std::string("\x41\x42\x43\x44", 4)},
      {"dword with zeros", REG_DWORD, std::string("\x07\0\0\0", 4)},
      {"qword", REG_QWORD, std::string("\x41\x42\x43\x44\x45\x46\x47\x48", 8)},
      {"multi text", REG_MULTI_SZ, std::string("pid_a14c\0other\0\0", 16)},
      {"expand text", REG_EXPAND_SZ, std::string("%WINDIR%\0", 9)},
      {"31 bytes, no zero", REG_BINARY, std::string(31, 'K')},
      {"32 bytes, no zero", REG_BINARY, std::string(32, 'K')},
      {"33 bytes, no zero", REG_BINARY, std::string(33, 'K')},
      {"100 noise bytes", REG_BINARY, noise},
      {"4096 bytes", REG_SZ, std::string(4095, 'L') + std::string(1, '\0')},
      {"4097 bytes, no zero", REG_BINARY, std::string(4097, 'M')},
      {"unknown type", 99, std::string("VID_1\0", 6)},
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
    // What a reader bounded by the stored size makes of the bytes.
    const std::string bytes = forms[i].bytes.size() > 4096 ? std::string() : forms[i].bytes;
    const std::string text = bytes.substr(0, bytes.find('\0'));
    if (!text.empty() && text.size() < sizeof id.text) {
      EXPECT_TRUE(id.usable);
      EXPECT_EQ(std::string(id.text), Upper(text));
    } else {
      EXPECT_FALSE(id.usable);
      EXPECT_EQ(n, 0u);
    }
  }
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
