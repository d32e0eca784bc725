// The uninstaller's rules on their own: command words, platform, device-id
// reading and matching, INF names, and the exact texts it writes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cleanup_batch.h"
#include "command_word.h"
#include "device_match.h"
#include "paths.h"
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

TEST_F(DeviceIdsRead, EmptyAndTooLongValuesCountButNeverMatch) {
  Set("DeviceId", "");
  Set("DeviceId1", std::string(31, 'A'));  // the longest that fits
  Set("DeviceId2", std::string(32, 'B'));  // one too many
  Set("DeviceId3", std::string(5000, 'C'));
  Set("DeviceId4", "VID_9");
  Read();
  ASSERT_EQ(ctx.deviceCount, 5);
  EXPECT_TRUE(ctx.devicesKnown);
  EXPECT_FALSE(ctx.deviceIds[0].usable);
  EXPECT_TRUE(ctx.deviceIds[1].usable);
  EXPECT_EQ(std::string(ctx.deviceIds[1].text), std::string(31, 'A'));
  EXPECT_FALSE(ctx.deviceIds[2].usable);
  EXPECT_STREQ(ctx.deviceIds[2].text, "");
  EXPECT_FALSE(ctx.deviceIds[3].usable);
  EXPECT_TRUE(ctx.deviceIds[4].usable);
  EXPECT_EQ(MatchDeviceId("USB\\VID_1234&PID_5678", ctx.deviceIds, ctx.deviceCount), -1);
  EXPECT_EQ(MatchDeviceId(("X" + std::string(40, 'B')).c_str(), ctx.deviceIds, ctx.deviceCount), -1);
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
