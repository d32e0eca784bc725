#include "device_notice.h"

#include <dbt.h>

#include <cstring>
#include <string>

namespace z9mnt {

namespace {

constexpr size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
static_assert(kNameOffset == offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name), "both forms name at one offset");
static_assert(kNameOffset == 28, "header, class, then the name");

DWORD ReadDword(const BYTE* at) {
  DWORD value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// Copies `length` bytes of ANSI text into `out`, cut to `outSize` - 1 bytes
// without splitting a double-byte character, and terminates it.
void CopyCut(const char* text, size_t length, char* out, size_t outSize) {
  const size_t room = outSize - 1;
  size_t taken = 0;
  while (taken < length) {
    const size_t step = (IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(text[taken])) && taken + 1 < length) ? 2 : 1;
    if (taken + step > room) break;
    taken += step;
  }
  std::memcpy(out, text, taken);
  out[taken] = '\0';
}

void ReadAnsiName(const BYTE* name, size_t bytes, char* path, size_t pathSize) {
  const auto* text = reinterpret_cast<const char*>(name);
  size_t length = 0;
  while (length < bytes && text[length] != '\0') ++length;
  CopyCut(text, length, path, pathSize);
}

void ReadWideName(const BYTE* name, size_t bytes, char* path, size_t pathSize) {
  // Every character gives at least one byte, so no more characters than the
  // path holds are converted. An odd last byte is half a character and is
  // left out.
  const size_t limit = pathSize;
  std::wstring text;
  for (size_t at = 0; at + sizeof(WCHAR) <= bytes && text.size() < limit; at += sizeof(WCHAR)) {
    WCHAR c;
    std::memcpy(&c, name + at, sizeof c);
    if (c == L'\0') break;
    text.push_back(c);
  }
  if (text.empty()) return;
  const int chars = static_cast<int>(text.size());
  const int need = WideCharToMultiByte(CP_ACP, 0, text.data(), chars, nullptr, 0, nullptr, nullptr);
  if (need <= 0) return;
  std::string converted(static_cast<size_t>(need), '\0');
  const int got = WideCharToMultiByte(CP_ACP, 0, text.data(), chars, &converted[0], need, nullptr, nullptr);
  if (got <= 0) return;
  CopyCut(converted.data(), static_cast<size_t>(got), path, pathSize);
}

}  // namespace

bool ReadInterfaceNotice(const void* notice, char* path, size_t pathSize, GUID* interfaceClass, NoticeForm* form) {
  if (notice == nullptr || path == nullptr || pathSize == 0) return false;
  path[0] = '\0';
  const auto* bytes = static_cast<const BYTE*>(notice);
  const DWORD size = ReadDword(bytes + offsetof(DEV_BROADCAST_HDR, dbch_size));
  if (size < sizeof(DEV_BROADCAST_HDR)) return false;
  if (ReadDword(bytes + offsetof(DEV_BROADCAST_HDR, dbch_devicetype)) != DBT_DEVTYP_DEVICEINTERFACE) return false;
  if (size < kNameOffset) return false;
  if (interfaceClass != nullptr) {
    std::memcpy(interfaceClass, bytes + offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_classguid), sizeof(GUID));
  }

  const BYTE* name = bytes + kNameOffset;
  const size_t nameBytes = size - kNameOffset;
  const bool wide = nameBytes >= 2 && name[0] != 0 && name[1] == 0;
  if (form != nullptr) *form = wide ? NoticeForm::Wide : NoticeForm::Ansi;
  if (wide) {
    ReadWideName(name, nameBytes, path, pathSize);
  } else {
    ReadAnsiName(name, nameBytes, path, pathSize);
  }
  return true;
}

}  // namespace z9mnt
