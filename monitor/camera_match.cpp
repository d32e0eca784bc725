#include "camera_match.h"

namespace z9mnt {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool ContainsNoCase(const char* text, const char* part) {
  if (text == nullptr || part == nullptr) return false;
  if (*part == '\0') return true;
  for (const char* start = text; *start != '\0'; ++start) {
    const char* t = start;
    const char* p = part;
    while (*t != '\0' && *p != '\0' && Lower(*t) == Lower(*p)) {
      ++t;
      ++p;
    }
    if (*p == '\0') return true;
    if (*t == '\0') return false;
  }
  return false;
}

bool IsCameraName(const char* idOrPath, const char* devInstanceName) {
  return ContainsNoCase(idOrPath, devInstanceName) && !ContainsNoCase(idOrPath, kExcludedFunction);
}

}  // namespace z9mnt
