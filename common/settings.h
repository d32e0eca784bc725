// The settings key HKLM "Software\RidEva\Z9100" and the other places the
// deliverables read their configuration from. Every open of the settings key
// adds RegistryViewFlag(); the key is never created here.
#pragma once
#include <windows.h>

#include <cstddef>

#include "win_handles.h"

namespace z9 {

constexpr char kSettingsKeyPath[] = "Software\\RidEva\\Z9100";
constexpr char kDefaultDeviceInstanceName[] = "VID_FFF1&PID_A14C";
constexpr char kCameraAppPathKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\YouCam";
constexpr char kStillMntIni[] = "StillMnt.ini";

constexpr size_t kLangFilePathSize = 250;
constexpr size_t kDeviceIdSize = 260;
constexpr size_t kAppPathSize = 260;

constexpr REGSAM kSettingsRead = KEY_QUERY_VALUE;  // 1
constexpr REGSAM kSettingsWrite = KEY_WRITE;       // 0x20006

// Opens the settings key with `access` plus the registry view flag.
bool OpenSettingsKey(REGSAM access, UniqueHKey* key);

// Reads a 4-byte number whatever its stored type. A stored value shorter than
// 4 bytes fills the low bytes; the rest are zero.
bool QueryDwordValue(HKEY key, const char* name, DWORD* out);

// Reads a text as raw bytes into buf[size]; the result is always terminated,
// also when the stored bytes carry no terminator or fill the buffer (the
// text is then cut to size - 1 bytes). On failure buf holds "".
bool QueryTextValue(HKEY key, const char* name, char* buf, size_t size);

// Sets *out to 0, then reads the value: 1 when the key opened and the value
// was read, else 0.
int ReadSettingDword(const char* name, DWORD* out);
// Like ReadSettingDword but leaves *inout untouched on failure.
int ReadSettingDwordInto(const char* name, DWORD* inout);
// Writes a REG_DWORD of 4 bytes (KEY_WRITE): 1 on success, else 0.
int WriteSettingDword(const char* name, DWORD value);
// Reads "DeviceId"; on any failure copies `fallback` into buf and returns false.
bool ReadDeviceInstanceName(char (&buf)[kDeviceIdSize], const char* fallback = kDefaultDeviceInstanceName);

// The unnamed value of the camera application's App Paths key (KEY_READ, no
// view flag), zeroed first. False when it cannot be read or is empty.
bool ReadCameraAppPath(char (&buf)[kAppPathSize]);

// "StillMnt.ini" in the Windows directory.
int ReadDebugMode();   // [Debug] DebugMode, default 0
int ReadPollDevice();  // [Snapshot] PollDevice, default 1

}  // namespace z9
