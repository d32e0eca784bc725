// The uninstaller's rules on their own: command words, platform, device-id
// reading and matching, INF names, and the exact texts it writes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cleanup_batch.h"
#include "command_word.h"
#include "device_match.h"
#include "paths.h"
#include "registry_removal.h"
#include "uninstall_context.h"
#include "wintest.h"

namespace {

using namespace z9rmv;

TEST(CommandWords, AreComparedWholeExactlyAndCaseSensitively) {
  EXPECT_EQ(ParseCommandWord(""), CommandWord::Uninstall);
  EXPECT_EQ(ParseCommandWord("/Silent"), CommandWord::Silent);
  EXPECT_EQ(ParseCommandWord("/Start"), CommandWord::Start);
  EXPECT_EQ(ParseCommandWord("/StartStillMnt"), CommandWord::StartMonitor);
  EXPECT_EQ(ParseCommandWord("/StopStillMnt"), CommandWord::StopMonitor);
  EXPECT_EQ(ParseCommandWord("/Install9X"), CommandWord::Install9X);
  for (const char* other : {"/silent", "/Silent ", " /Silent", "/SILENT", "/StartStillMnt ", "/Stop", "x", "/"})
    EXPECT_EQ(ParseCommandWord(other), CommandWord::Other) << '"' << other << '"';
  EXPECT_EQ(ParseCommandWord(nullptr), CommandWord::Other);
}

TEST(Platform, NineXIsTwentyNtIsTenAnythingElseUnsupported) {
  EXPECT_EQ(PlatformFor(VER_PLATFORM_WIN32_WINDOWS), 20);
  EXPECT_EQ(PlatformFor(VER_PLATFORM_WIN32_NT), 10);
  EXPECT_EQ(PlatformFor(VER_PLATFORM_WIN32s), -1);
  EXPECT_EQ(PlatformFor(3), -1);
}

DeviceId Id(const char* text, bool usable = true) {
  DeviceId id{};
  lstrcpynA(id.text, text, sizeof id.text);
  id.usable = usable;
  return id;
}

TEST(DeviceMatch, FirstUsableIdInListOrderContainedInTheHardwareId) {
  const DeviceId ids[] = {Id("VID_FFF1&PID_A14C&MI_01"), Id("VID_FFF1&PID_A14C"), Id("PID_A14C")};
  EXPECT_EQ(MatchDeviceId("USB\\VID_FFF1&PID_A14C&MI_00", ids, 3), 1);
  EXPECT_EQ(MatchDeviceId("USB\\VID_FFF1&PID_A14C&MI_01", ids, 3), 0);
  EXPECT_EQ(MatchDeviceId("USB\\VID_0001&PID_A14C", ids, 3), 2);
  EXPECT_EQ(MatchDeviceId("USB\\VID_1234&PID_5678", ids, 3), -1);
  EXPECT_EQ(MatchDeviceId("", ids, 3), -1);
  EXPECT_EQ(MatchDeviceId(nullptr, ids, 3), -1);
  // The count bounds the list.
  EXPECT_EQ(MatchDeviceId("USB\\VID_0001&PID_A14C", ids, 2), -1);
}

TEST(DeviceMatch, EmptyAndUnusableIdsNeverMatch) {
  const DeviceId ids[] = {Id(""), Id("", false), Id("VID_4444&PID_0001&CUT_HERE_XXXX", false)};
  EXPECT_EQ(MatchDeviceId("USB\\VID_1234&PID_5678", ids, 3), -1);
  EXPECT_EQ(MatchDeviceId("USB\\VID_4444&PID_0001&CUT_HERE_XXXXXXXX", ids, 3), -1);
}

TEST(InfNames, OemCopiesInAnyCaseButOnlyBareFileNames) {
  EXPECT_TRUE(IsOemInfName("oem12.inf"));
  EXPECT_TRUE(IsOemInfName("OEM0.INF"));
  EXPECT_TRUE(IsOemInfName("Oem3.inf"));
  EXPECT_FALSE(IsOemInfName("z9cam.inf"));
  EXPECT_FALSE(IsOemInfName("usbvideo.inf"));
  EXPECT_FALSE(IsOemInfName(""));
  EXPECT_FALSE(IsOemInfName(nullptr));
  EXPECT_FALSE(IsOemInfName("..\\oem1.inf"));
  EXPECT_FALSE(IsOemInfName("C:oem1.inf"));
  EXPECT_FALSE(IsOemInfName("sub/oem1.inf"));
}

TEST(InfNames, ImagingDriverKeysByClassInAnyCase) {
  EXPECT_TRUE(IsImagingDriverKey("{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0000"));
  EXPECT_TRUE(IsImagingDriverKey("{6bdd1fc6-810f-11d0-bec7-08002be2092f}\\0003"));
  EXPECT_FALSE(IsImagingDriverKey("{4D36E96C-E325-11CE-BFC1-08002BE10318}\\0077"));
  EXPECT_FALSE(IsImagingDriverKey(""));
  EXPECT_FALSE(IsImagingDriverKey(nullptr));
}

TEST(CleanupBatch, ExactBytesForAPlainWindowsDirectory) {
  std::string text;
  ASSERT_TRUE(ComposeCleanupBatch("C:\\WINDOWS", "C:\\WINDOWS\\system\\Z9100Remov.exe",
                                  "C:\\WINDOWS\\System\\DeMySelf.Bat", &text));
  EXPECT_EQ(text,
            ":Repeat\r\n"
            "       Del C:\\WINDOWS\\System\\Z9100Rmv.dll \r\n"
            "       Del C:\\WINDOWS\\System\\Z9100LAp.exe \r\n"
            "      Del C:\\WINDOWS\\system\\Z9100Remov.exe\r\n"
            "       if exist C:\\WINDOWS\\System\\Z9100Rmv.dll goto Repeat\r\n"
            "       if exist C:\\WINDOWS\\System\\Z9100LAp.exe goto Repeat\r\n"
            "       if exist C:\\WINDOWS\\system\\Z9100Remov.exe goto Repeat\r\n"
            "       Del C:\\WINDOWS\\System\\DeMySelf.Bat \r\n");
}

TEST(CleanupBatch, PathsWithABlankAreQuotedAndTooLongOnesRefused) {
  std::string text;
  ASSERT_TRUE(ComposeCleanupBatch("D:\\My Windows", "D:\\My Windows\\system\\Z9100Remov.exe",
                                  "D:\\My Windows\\System\\DeMySelf.Bat", &text));
  EXPECT_NE(text.find("       Del \"D:\\My Windows\\System\\Z9100Rmv.dll\" \r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("      Del \"D:\\My Windows\\system\\Z9100Remov.exe\"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("       if exist \"D:\\My Windows\\System\\Z9100LAp.exe\" goto Repeat\r\n"), std::string::npos);
  EXPECT_NE(text.find("       Del \"D:\\My Windows\\System\\DeMySelf.Bat\" \r\n"), std::string::npos) << text;

  const std::string longDir = "C:\\" + std::string(400, 'w');
  EXPECT_FALSE(ComposeCleanupBatch(longDir.c_str(), "C:\\x", "C:\\y", &text));
  char out[16];
  EXPECT_FALSE(CleanupBatchPath(longDir.c_str(), out, sizeof out));
  EXPECT_FALSE(CleanupBatchPath("", out, sizeof out));
}

TEST(RemovalProgram, ParametersAndPathsFollowTheWindowsDirectory) {
  SystemPaths p{};
  ASSERT_TRUE(DeriveSystemPaths("C:\\WINDOWS", &p));
  EXPECT_STREQ(p.driverFile, "C:\\WINDOWS\\system32\\drivers\\Z9100KNT.sys");
  EXPECT_STREQ(p.removalProgram, "C:\\WINDOWS\\system\\Z9100Remov.exe");
  char params[1024];
  ASSERT_TRUE(ComposeRemovalParameters(params, sizeof params, p, "oem12.inf"));
  EXPECT_STREQ(params, " /d C:\\WINDOWS\\inf\\oem12.inf  C:\\WINDOWS\\system32\\drivers\\Z9100KNT.sys 32 ");

  ASSERT_TRUE(DeriveSystemPaths("D:\\WIN NT", &p));
  ASSERT_TRUE(ComposeRemovalParameters(params, sizeof params, p, "oem1.inf"));
  EXPECT_STREQ(params, " /d \"D:\\WIN NT\\inf\\oem1.inf\"  \"D:\\WIN NT\\system32\\drivers\\Z9100KNT.sys\" 32 ");
  EXPECT_FALSE(ComposeRemovalParameters(params, 20, p, "oem1.inf"));
  EXPECT_FALSE(DeriveSystemPaths("", &p));
}

TEST(Paths, QuotingOnlyWhereACommandLineWouldSplit) {
  char out[64];
  ASSERT_TRUE(QuoteIfNeeded(out, sizeof out, "C:\\WINDOWS\\x.exe"));
  EXPECT_STREQ(out, "C:\\WINDOWS\\x.exe");
  for (const char* p : {"C:\\A B\\x", "C:\\A&B\\x", "C:\\A(1)\\x"}) {
    ASSERT_TRUE(QuoteIfNeeded(out, sizeof out, p));
    EXPECT_EQ(out, std::string("\"") + p + "\"");
  }
  EXPECT_FALSE(QuoteIfNeeded(out, 8, "C:\\WINDOWS"));
  EXPECT_FALSE(JoinPath(out, 8, "C:\\WINDOWS", "x"));
  EXPECT_STREQ(out, "");
}

TEST(RegistryDeletion, KeysNeedTheDeletionThatTakesAViewOnlyUnderAViewFlag) {
  const struct {
    DWORD flag;
    bool haveDeleteInView;
    KeyDeletion expected;
  } rows[] = {
      {0, true, KeyDeletion::Plain},               // a 32-bit system, or 98 to 2000
      {0, false, KeyDeletion::Plain},
      {KEY_WOW64_64KEY, true, KeyDeletion::InView},  // 32-bit uninstaller on 64-bit Windows
      {KEY_WOW64_64KEY, false, KeyDeletion::Plain},  // XP (minor 1) without a second view
      {KEY_WOW64_32KEY, true, KeyDeletion::InView},
  };
  for (const auto& r : rows)
    EXPECT_EQ(KeyDeletionFor(r.flag, r.haveDeleteInView), r.expected)
        << "flag " << r.flag << " have " << r.haveDeleteInView;
}

// HKEY_LOCAL_MACHINE entries in one registry view.
bool SetInView(const std::string& path, const char* name, DWORD view) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const bool ok = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

bool ValueInView(const std::string& path, const char* name, DWORD view) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return false;
  const bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

// Deletes the keys, deepest first, in one view.
void DeleteKeysInView(const std::vector<std::string>& deepestFirst, DWORD view) {
  using DeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
  const auto deleteKey =
      reinterpret_cast<DeleteKeyExFn>(GetProcAddress(GetModuleHandleA("advapi32"), "RegDeleteKeyExA"));
  ASSERT_NE(deleteKey, nullptr);
  for (const std::string& path : deepestFirst) deleteKey(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
}

// The entries are written in both views of this 64-bit prefix; an uninstall
// that read through one view deletes them there and leaves the other alone.
TEST(RegistryDeletion, StartupValueSettingsAndEntryGoInTheViewTheyWereReadThrough) {
  const std::string settings = std::string(kSettingsParentKey) + "\\" + kSettingsName;
  const std::string entry = std::string(kUninstallListKey) + "\\" + kAddRemoveName;
  const struct {
    const char* what;
    DWORD flag, other;
  } rows[] = {
      {"the process's own view", KEY_WOW64_64KEY, KEY_WOW64_32KEY},
      {"the other view", KEY_WOW64_32KEY, KEY_WOW64_64KEY},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    for (DWORD view : {r.flag, r.other}) {
      ASSERT_TRUE(SetInView(settings, "DeviceId", view));
      ASSERT_TRUE(SetInView(settings + "\\Sub\\Deeper", "x", view));
      ASSERT_TRUE(SetInView(kRunKey, kRunValue, view));
      ASSERT_TRUE(SetInView(entry + "\\Sub", "x", view));
    }
    UninstallContext ctx;
    ctx.registryViewFlag = r.flag;
    DeleteStartupAndSettings(ctx);
    DeleteAddRemoveEntry(ctx);
    EXPECT_FALSE(ValueInView(kRunKey, kRunValue, r.flag));
    EXPECT_FALSE(ValueInView(settings, "DeviceId", r.flag));
    EXPECT_FALSE(ValueInView(settings + "\\Sub\\Deeper", "x", r.flag));
    EXPECT_FALSE(ValueInView(entry + "\\Sub", "x", r.flag));
    EXPECT_TRUE(ValueInView(kRunKey, kRunValue, r.other));
    EXPECT_TRUE(ValueInView(settings + "\\Sub\\Deeper", "x", r.other));
    EXPECT_TRUE(ValueInView(entry + "\\Sub", "x", r.other));
    for (DWORD view : {r.flag, r.other}) {
      DeleteKeysInView({settings + "\\Sub\\Deeper", settings + "\\Sub", settings, entry + "\\Sub", entry}, view);
      DeleteValueInView(kRunKey, kRunValue, view);
    }
  }
  EXPECT_FALSE(DeleteKeyTreeInView(kSettingsParentKey, "", KEY_WOW64_64KEY)) << "never the parent itself";
}

TEST(CameraApplicationPath, OnlyAPathWhoseLastComponentIsTheApplicationIsOurs) {
  const struct {
    const char* path;
    bool ours;
  } rows[] = {
      {"C:\\WINDOWS\\System\\Z9100LAp.exe", true},
      {"\"C:\\Program Files\\Cam\\z9100lap.EXE\"", true},
      {"D:/cam/Z9100LAp.exe ", true},
      {"Z9100LAp.exe", true},
      {"C:Z9100LAp.exe", true},
      {"C:\\bench\\youcam.exe", false},
      {"C:\\cam\\NotZ9100LAp.exe", false},
      {"C:\\cam\\Z9100LAp.exe.old", false},
      {"C:\\cam\\Z9100LAp.exe\\other.exe", false},
      {"C:\\cam\\Z9100LAp", false},
      {"\"\"", false},
      {"", false},
      {nullptr, false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(NamesCameraApplication(r.path), r.ours) << (r.path ? r.path : "(null)");
}

// The maker's key is shared with its other products: it goes only when
// nothing at all is left in it.
TEST(RegistryDeletion, AKeyDeletedOnlyWhenEmpty) {
  const std::string parent = "SOFTWARE\\Z9RmvTest";
  const std::string key = parent + "\\Maker";
  const struct {
    const char* what;
    const char* subkey;     // made below the key, or null
    const char* valueName;  // written to the key ("" the default value), or null
    bool deleted;
  } rows[] = {
      {"empty", nullptr, nullptr, true},
      {"another product's key", "Z9200", nullptr, false},
      {"a value", nullptr, "InstallDir", false},
      {"the default value", nullptr, "", false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, parent);
    HKEY made = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &made, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(made);
    if (r.subkey) {
      ASSERT_TRUE(SetInView(key + "\\" + r.subkey, "x", 0));
    }
    if (r.valueName) {
      ASSERT_TRUE(SetInView(key, r.valueName, 0));
    }
    EXPECT_EQ(DeleteKeyIfEmpty(parent.c_str(), "Maker", 0), r.deleted);
    EXPECT_EQ(wintest::RegKeyExists(HKEY_LOCAL_MACHINE, key), !r.deleted);
    if (r.subkey) {
      EXPECT_TRUE(ValueInView(key + "\\" + r.subkey, "x", 0));
    }
  }
  EXPECT_FALSE(DeleteKeyIfEmpty(parent.c_str(), "Missing", 0));
  EXPECT_FALSE(DeleteKeyIfEmpty(parent.c_str(), "", 0)) << "never the parent itself";
  wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, parent);
}

// Device ids read from a key of the test's own.
class DeviceIdsRead : public ::testing::Test {
 protected:
  static constexpr char kKey[] = "Software\\Z9RmvTest\\Ids";
  void SetUp() override { wintest::RegDeleteKeyTree(HKEY_CURRENT_USER, kKey); }
  void TearDown() override { wintest::RegDeleteKeyTree(HKEY_CURRENT_USER, "Software\\Z9RmvTest"); }
  void Set(const char* name, const std::string& value) {
    ASSERT_TRUE(wintest::RegSetString(HKEY_CURRENT_USER, kKey, name, value));
  }
  UninstallContext* Read() {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    ReadDeviceIds(key, &ctx);
    RegCloseKey(key);
    return &ctx;
  }
  UninstallContext ctx;
};

TEST_F(DeviceIdsRead, InOrderUpperCasedUntilTheFirstMissing) {
  Set("DeviceId", "vid_fff1&pid_a14c");
  Set("DeviceId1", "Pid_A14C");
  Set("DeviceId3", "VID_9999");  // after a gap: not read
  Read();
  ASSERT_EQ(ctx.deviceCount, 2);
  EXPECT_TRUE(ctx.devicesKnown);
  EXPECT_STREQ(ctx.deviceIds[0].text, "VID_FFF1&PID_A14C");
  EXPECT_STREQ(ctx.deviceIds[1].text, "PID_A14C");
  EXPECT_TRUE(ctx.deviceIds[0].usable && ctx.deviceIds[1].usable);
}

TEST_F(DeviceIdsRead, LongIdsAreMatchedWholeTooLongOnesCountButNeverMatch) {
  // A long id matches only a hardware id that holds all of it, not one that
  // shares its first 32 bytes.
  const std::string longId = "VID_FFF1&PID_A14C&MI_00&REV_0100&" + std::string(66, 'Q');  // 100 bytes
  std::string differsLate = longId;
  differsLate[40] = 'Z';
  Set("DeviceId", "");
  Set("DeviceId1", std::string(259, 'a'));  // the longest that fits
  Set("DeviceId2", std::string(260, 'B'));  // one too many
  Set("DeviceId3", std::string(5000, 'C'));
  Set("DeviceId4", differsLate);
  Set("DeviceId5", longId);
  Read();
  ASSERT_EQ(ctx.deviceCount, 6);
  EXPECT_TRUE(ctx.devicesKnown);
  EXPECT_FALSE(ctx.deviceIds[0].usable);
  EXPECT_TRUE(ctx.deviceIds[1].usable);
  EXPECT_EQ(std::string(ctx.deviceIds[1].text), std::string(259, 'A'));
  EXPECT_FALSE(ctx.deviceIds[2].usable);
  EXPECT_STREQ(ctx.deviceIds[2].text, "");
  EXPECT_FALSE(ctx.deviceIds[3].usable);
  EXPECT_EQ(std::string(ctx.deviceIds[5].text), longId);
  const std::string hardwareId = "USB\\" + longId + "&X";
  EXPECT_EQ(MatchDeviceId(hardwareId.c_str(), ctx.deviceIds, ctx.deviceCount), 5);
  EXPECT_EQ(MatchDeviceId(hardwareId.substr(0, hardwareId.size() - 3).c_str(), ctx.deviceIds, ctx.deviceCount), -1);
  EXPECT_EQ(MatchDeviceId("USB\\VID_1234&PID_5678", ctx.deviceIds, ctx.deviceCount), -1);
  EXPECT_EQ(MatchDeviceId(("X" + std::string(300, 'B')).c_str(), ctx.deviceIds, ctx.deviceCount), -1);
}

TEST_F(DeviceIdsRead, AtMostSixty) {
  Set("DeviceId", "A0");
  for (int i = 1; i < 70; ++i) Set(("DeviceId" + std::to_string(i)).c_str(), "A" + std::to_string(i));
  Read();
  EXPECT_EQ(ctx.deviceCount, 60);
  EXPECT_STREQ(ctx.deviceIds[59].text, "A59");
}

TEST_F(DeviceIdsRead, NoValueNoDevices) {
  Set("Other", "x");
  Read();
  EXPECT_EQ(ctx.deviceCount, 0);
  EXPECT_FALSE(ctx.devicesKnown);
}

}  // namespace
