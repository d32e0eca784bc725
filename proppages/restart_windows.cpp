#include "restart_windows.h"

#include "page_strings.h"
#include "win_handles.h"

namespace z9 {

bool EnableProcessPrivilege(const char* name) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
  UniqueHandle token(raw);
  TOKEN_PRIVILEGES privileges = {};
  if (!LookupPrivilegeValueA(nullptr, name, &privileges.Privileges[0].Luid)) return false;
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) return false;
  return GetLastError() == ERROR_SUCCESS;
}

bool RestartWindows(HWND page, const RestartCalls& calls) {
  // Without the privilege the request below fails and says so.
  EnableProcessPrivilege("SeShutdownPrivilege");
  if (calls.exitWindows(EWX_REBOOT, 0)) return true;
  calls.messageBox(page, PageString("MsgString1"), PageString("MsgCaption1"), MB_ICONSTOP);
  return false;
}

}  // namespace z9
