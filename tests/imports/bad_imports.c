/* Imports that must not pass the deliverables' import check. */
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <windows.h>

__declspec(dllexport) DWORD WINAPI Unexpected(HMODULE* out) {
  ULONGLONG ticks = GetTickCount64();
  GetModuleHandleExA(0, "kernel32", out);
  WCHAR text[8];
  LoadStringW(NULL, 1, text, 8);
  return (DWORD)ticks;
}
