#include "paths.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace z9rmv {

namespace {

bool Format(char* out, size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
bool Format(char* out, size_t size, const char* format, ...) {
  if (out == nullptr || size == 0) return false;
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(out, size, format, args);
  va_end(args);
  if (n < 0 || static_cast<size_t>(n) >= size) {
    out[0] = '\0';
    return false;
  }
  return true;
}

}  // namespace

bool JoinPath(char* out, size_t size, const char* dir, const char* tail) {
  return Format(out, size, "%s\\%s", dir, tail);
}

bool NeedsQuotes(const char* path) { return std::strpbrk(path, " &()^,;=") != nullptr; }

bool QuoteIfNeeded(char* out, size_t size, const char* path) {
  if (NeedsQuotes(path)) return Format(out, size, "\"%s\"", path);
  return Format(out, size, "%s", path);
}

bool DeriveSystemPaths(const char* windowsDir, SystemPaths* paths) {
  if (windowsDir == nullptr || windowsDir[0] == '\0') return false;
  return JoinPath(paths->driverFile, sizeof paths->driverFile, windowsDir, "system32\\drivers\\Z9100KNT.sys") &&
         JoinPath(paths->removalProgram, sizeof paths->removalProgram, windowsDir, "system\\Z9100Remov.exe") &&
         JoinPath(paths->infDir, sizeof paths->infDir, windowsDir, "inf");
}

bool ComposeRemovalParameters(char* out, size_t size, const SystemPaths& paths, const char* infName) {
  char inf[kPathSize], quotedInf[kPathSize + 2], quotedDriver[kPathSize + 2];
  return JoinPath(inf, sizeof inf, paths.infDir, infName) && QuoteIfNeeded(quotedInf, sizeof quotedInf, inf) &&
         QuoteIfNeeded(quotedDriver, sizeof quotedDriver, paths.driverFile) &&
         Format(out, size, " /d %s  %s 32 ", quotedInf, quotedDriver);
}

}  // namespace z9rmv
