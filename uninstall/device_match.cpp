#include "device_match.h"

#include <cstring>

namespace z9rmv {

namespace {

constexpr char kImagingClass[] = "6BDD1FC6-810F-11D0-BEC7-08002BE2092F";

}  // namespace

bool ContainsIgnoringCase(const char* text, const char* upperPart) {
  if (text == nullptr || upperPart == nullptr) return false;
  char copy[512];
  const size_t n = std::strlen(text);
  if (n >= sizeof copy) return false;
  std::memcpy(copy, text, n + 1);
  UpperAscii(copy);
  return std::strstr(copy, upperPart) != nullptr;
}

int MatchDeviceId(const char* upperHardwareId, const DeviceId* ids, int count) {
  if (upperHardwareId == nullptr || upperHardwareId[0] == '\0') return -1;
  for (int i = 0; i < count; ++i) {
    if (!ids[i].usable || ids[i].text[0] == '\0') continue;
    if (std::strstr(upperHardwareId, ids[i].text) != nullptr) return i;
  }
  return -1;
}

bool IsImagingDriverKey(const char* driverKeyName) {
  return driverKeyName != nullptr && ContainsIgnoringCase(driverKeyName, kImagingClass);
}

bool IsOemInfName(const char* infName) {
  if (infName == nullptr || infName[0] == '\0') return false;
  if (std::strpbrk(infName, "\\/:") != nullptr) return false;
  return ContainsIgnoringCase(infName, "OEM");
}

}  // namespace z9rmv
