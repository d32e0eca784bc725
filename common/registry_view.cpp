#include "registry_view.h"

namespace z9 {

namespace {
// Written by the thread that initialises a deliverable, read afterwards.
volatile LONG g_registryViewFlag = 0;
}  // namespace

DWORD RegistryViewFlagFor(DWORD minorVersion, bool wow64) {
  switch (minorVersion) {
    case 0:
    case 10:
    case 90:
      return wow64 ? kRegistryView64 : 0;
    default:
      return kRegistryView64;
  }
}

const char* WindowsNameForMinor(DWORD minorVersion) {
  switch (minorVersion) {
    case 0: return "Windows 2K";
    case 1: return "Windows XP";
    case 10: return "Windows 98";
    case 90: return "Windows Me";
    default: return "Unknown Windows version";
  }
}

DWORD QueryMinorVersion() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
  if (!GetVersionExA(&info)) return 0;
  return info.dwMinorVersion;
}

bool ProcessRunsUnderWow64() {
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  HMODULE kernel = GetModuleHandleA("kernel32");
  if (kernel == nullptr) return false;
  auto fn = reinterpret_cast<IsWow64ProcessFn>(GetProcAddress(kernel, "IsWow64Process"));
  if (fn == nullptr) return false;
  BOOL wow64 = FALSE;
  if (!fn(GetCurrentProcess(), &wow64)) return false;
  return wow64 != FALSE;
}

DWORD ComputeRegistryViewFlag() { return RegistryViewFlagFor(QueryMinorVersion(), ProcessRunsUnderWow64()); }

DWORD RegistryViewFlag() { return static_cast<DWORD>(g_registryViewFlag); }

void SetRegistryViewFlag(DWORD flag) { InterlockedExchange(&g_registryViewFlag, static_cast<LONG>(flag)); }

}  // namespace z9
