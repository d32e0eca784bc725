// The registry view flag added to every open of the settings key: 0 or
// KEY_WOW64_64KEY, decided from the system's minor version and WOW64 state.
#pragma once
#include <windows.h>

namespace z9 {

constexpr DWORD kRegistryView64 = 0x100;  // KEY_WOW64_64KEY

// The rule itself: minor versions 0 (2000), 10 (98) and 90 (Me) take the 64-bit
// view only under WOW64; every other minor version always takes it.
DWORD RegistryViewFlagFor(DWORD minorVersion, bool wow64);

// The log name of a system by its minor version ("Windows XP", ...).
const char* WindowsNameForMinor(DWORD minorVersion);

// Minor version from GetVersionEx (the 148-byte structure); 0 when it fails.
DWORD QueryMinorVersion();

// IsWow64Process, looked up in "kernel32" at run time; false when missing.
bool ProcessRunsUnderWow64();

// Queries the system and applies the rule.
DWORD ComputeRegistryViewFlag();

// The process-wide flag used by the settings functions. Each deliverable sets
// it once from ComputeRegistryViewFlag() (the capture dialog at each start).
DWORD RegistryViewFlag();
void SetRegistryViewFlag(DWORD flag);

}  // namespace z9
