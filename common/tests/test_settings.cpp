// Settings reads and writes against the real registry and profile functions.
#include <cstring>

#include "settings_fixture.h"

using namespace z9;

using Settings = SettingsKeyTest;

TEST_F(Settings, MissingKeyGivesDefaultsAndDropsWrites) {
  DWORD v = 77;
  EXPECT_EQ(0, ReadSettingDword("DeviceStatus", &v));
  EXPECT_EQ(0u, v);
  v = 5;
  EXPECT_EQ(0, ReadSettingDwordInto("PlaySound", &v));
  EXPECT_EQ(5u, v);
  EXPECT_EQ(0, WriteSettingDword("DeviceStatus", 0));
  EXPECT_FALSE(wintest::RegKeyExists(kRoot, key_)) << "a write must never create the key";

  char name[kDeviceIdSize];
  std::memset(name, 'x', sizeof name);
  EXPECT_FALSE(ReadDeviceInstanceName(name));
  EXPECT_STREQ("VID_FFF1&PID_A14C", name);
}

TEST_F(Settings, MissingValueInAnExistingKey) {
  SetDword("Other", 1);
  DWORD v = 9;
  EXPECT_EQ(0, ReadSettingDword("AudioStatus", &v));
  EXPECT_EQ(0u, v);
  v = 9;
  EXPECT_EQ(0, ReadSettingDwordInto("PlaySound", &v));
  EXPECT_EQ(9u, v);
}

TEST_F(Settings, DwordRoundTripWithEitherView) {
  SetDword("AudioStatus", 1);
  for (DWORD flag : {0u, 0x100u}) {
    SetRegistryViewFlag(flag);
    DWORD v = 0;
    EXPECT_EQ(1, ReadSettingDword("AudioStatus", &v)) << "flag " << flag;
    EXPECT_EQ(1u, v);
  }
  EXPECT_EQ(1, WriteSettingDword("AudioStatus", 0));
  DWORD stored = 7;
  ASSERT_TRUE(wintest::RegGetDword(kRoot, key_, "AudioStatus", &stored));
  EXPECT_EQ(0u, stored);
}

TEST_F(Settings, StoredTypeIsIgnoredAndShortValuesLeaveNoGarbage) {
  SetBytes("PlaySound", std::string("\x34\x12", 2), REG_BINARY);
  DWORD v = 0xFFFFFFFF;
  EXPECT_EQ(1, ReadSettingDwordInto("PlaySound", &v));
  EXPECT_EQ(0x1234u, v);
  SetBytes("PlaySound", std::string("\x02\x00\x00\x00", 4), REG_BINARY);
  EXPECT_EQ(1, ReadSettingDword("PlaySound", &v));
  EXPECT_EQ(2u, v);
  // Eight bytes do not fit the 4-byte read: a failed read, not half a value.
  SetBytes("PlaySound", std::string("\x01\x00\x00\x00\x01\x00\x00\x00", 8), REG_BINARY);
  EXPECT_EQ(0, ReadSettingDword("PlaySound", &v));
  EXPECT_EQ(0u, v);
}

TEST_F(Settings, DeviceInstanceNameIsAlwaysTerminated) {
  char name[kDeviceIdSize];
  SetString("DeviceId", "VID_1234&PID_5678");
  EXPECT_TRUE(ReadDeviceInstanceName(name));
  EXPECT_STREQ("VID_1234&PID_5678", name);

  // No terminator stored.
  SetBytes("DeviceId", "ABC", REG_BINARY);
  std::memset(name, 'x', sizeof name);
  EXPECT_TRUE(ReadDeviceInstanceName(name));
  EXPECT_STREQ("ABC", name);

  // Exactly fills the buffer without a terminator: cut by one byte.
  SetBytes("DeviceId", std::string(kDeviceIdSize, 'A'), REG_BINARY);
  EXPECT_TRUE(ReadDeviceInstanceName(name));
  EXPECT_EQ(kDeviceIdSize - 1, std::strlen(name));

  // Longer than the buffer: the read fails and the default is used.
  SetString("DeviceId", std::string(400, 'B'));
  EXPECT_FALSE(ReadDeviceInstanceName(name));
  EXPECT_STREQ("VID_FFF1&PID_A14C", name);
}

TEST(CameraAppPath, ReadsTheUnnamedValueOnly) {
  const std::string key = kCameraAppPathKey;
  std::string saved;
  bool had = wintest::RegGetString(HKEY_LOCAL_MACHINE, key, nullptr, &saved);

  char path[kAppPathSize];
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, key, nullptr, "C:\\Cam\\cam.exe"));
  EXPECT_TRUE(ReadCameraAppPath(path));
  EXPECT_STREQ("C:\\Cam\\cam.exe", path);
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, key, nullptr, ""));
  EXPECT_FALSE(ReadCameraAppPath(path));
  EXPECT_STREQ("", path);

  if (had) {
    wintest::RegSetString(HKEY_LOCAL_MACHINE, key, nullptr, saved);
  } else {
    wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, key);
    EXPECT_FALSE(ReadCameraAppPath(path));
  }
}

TEST(StillMntIni, DefaultsAndValuesFromTheWindowsDirectory) {
  const std::string ini = wintest::WindowsDir() + "\\StillMnt.ini";
  wintest::DeleteFileIfAny(ini);
  EXPECT_EQ(0, ReadDebugMode());
  EXPECT_EQ(1, ReadPollDevice());
  ASSERT_TRUE(wintest::IniWrite("StillMnt.ini", "Debug", "DebugMode", "1"));
  ASSERT_TRUE(wintest::IniWrite("StillMnt.ini", "Snapshot", "PollDevice", "0"));
  EXPECT_EQ(1, ReadDebugMode());
  EXPECT_EQ(0, ReadPollDevice());
  wintest::DeleteFileIfAny(ini);
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, "StillMnt.ini");
}
