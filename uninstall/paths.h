// Paths the uninstaller builds: joined and bounded, quoted where a command
// line would split them, and the places of the driver file, the elevated
// removal program and the INF folder, all derived from the Windows directory
// (on a standard installation that is the same text as "C:\WINDOWS\...").
#pragma once
#include <windows.h>

#include <cstddef>

namespace z9rmv {

constexpr size_t kPathSize = MAX_PATH + 64;

// "<dir>\<tail>" into out[size]; false (and "") when it does not fit.
bool JoinPath(char* out, size_t size, const char* dir, const char* tail);

// Whether a command interpreter would split or misread the path: it holds a
// blank or one of & ( ) ^ , ; =.
bool NeedsQuotes(const char* path);
// The path, in double quotes when NeedsQuotes; false when it does not fit.
bool QuoteIfNeeded(char* out, size_t size, const char* path);

struct SystemPaths {
  char driverFile[kPathSize];      // <WINDIR>\system32\drivers\Z9100KNT.sys
  char removalProgram[kPathSize];  // <WINDIR>\system\Z9100Remov.exe
  char infDir[kPathSize];          // <WINDIR>\inf
};
bool DeriveSystemPaths(const char* windowsDir, SystemPaths* paths);

// The elevated removal program's parameters, " /d <infDir>\<infName>  <driver
// file> 32 " (two blanks after the INF); false when they do not fit.
bool ComposeRemovalParameters(char* out, size_t size, const SystemPaths& paths, const char* infName);

}  // namespace z9rmv
