// Stand-in for the elevated removal program that the uninstaller starts:
// records "started: <arguments>" in C:\bench\Z9100Remov.log and exits without
// removing anything.
#include <windows.h>

#include <string>

#include "standin_log.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* args = z9bench::ArgumentsOf(GetCommandLineA());
  return z9bench::AppendStandinLog("Z9100Remov.log", (std::string("started: ") + args).c_str()) ? 0 : 1;
}
