// Stand-in for the camera application that the monitor starts: records the
// start as a line "started: <arguments>" in C:\bench\youcam.log, then exits.
#include <windows.h>

#include <string>

#include "standin_log.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* args = z9bench::ArgumentsOf(GetCommandLineA());
  return z9bench::AppendStandinLog("youcam.log", (std::string("started: ") + args).c_str()) ? 0 : 1;
}
