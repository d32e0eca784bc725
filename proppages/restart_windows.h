// Restarting the computer after a setting that needs it: the shutdown
// privilege is enabled for the process, then a reboot is requested; a
// refused reboot is reported over the page with the texts "MsgString1" and
// "MsgCaption1" of the page string table.
#pragma once
#include <windows.h>

namespace z9 {

// The system calls involved, replaceable in tests (a real reboot request
// would end the test session).
struct RestartCalls {
  BOOL(WINAPI* exitWindows)(UINT flags, DWORD reason) = ExitWindowsEx;
  int(WINAPI* messageBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type) = MessageBoxA;
};

// Returns true when the reboot request was accepted.
bool RestartWindows(HWND page, const RestartCalls& calls = RestartCalls());

// Enables one privilege of the process token; false when it could not be.
bool EnableProcessPrivilege(const char* name);

}  // namespace z9
