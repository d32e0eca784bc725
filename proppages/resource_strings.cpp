#include "resource_strings.h"

#include <cstring>

namespace z9 {

bool FindResourceString(HINSTANCE module, UINT id, const WCHAR** text, int* length) {
  if (text == nullptr || length == nullptr) return false;
  *text = nullptr;
  *length = 0;
  if (module == nullptr || id > 0xFFFF) return false;
  // Sixteen strings a block: block n + 1 holds ids 16n .. 16n + 15, each a
  // count followed by that many characters.
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW((id >> 4) + 1), reinterpret_cast<LPCWSTR>(RT_STRING));
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, found);
  const auto* block = loaded != nullptr ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (block == nullptr) return false;
  const DWORD size = SizeofResource(module, found) / sizeof(WCHAR);
  DWORD pos = 0;
  for (UINT i = 0; i < (id & 15); ++i) {
    if (pos >= size) return false;
    pos += 1 + block[pos];
  }
  if (pos >= size) return false;
  const DWORD count = block[pos];
  if (count == 0 || count > size - pos - 1) return false;
  *text = block + pos + 1;
  *length = static_cast<int>(count);
  return true;
}

LPOLESTR ResourceTaskString(HINSTANCE module, UINT id) {
  if (id == 0) return nullptr;
  const WCHAR* text = nullptr;
  int length = 0;
  if (!FindResourceString(module, id, &text, &length)) return nullptr;
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((static_cast<size_t>(length) + 1) * sizeof(OLECHAR)));
  if (copy != nullptr) {
    std::memcpy(copy, text, static_cast<size_t>(length) * sizeof(WCHAR));
    copy[length] = 0;
  }
  return copy;
}

}  // namespace z9
