// Strings of a module's string table read straight from the resource block,
// in their stored (wide) form. LoadStringW is a failing stub on Windows 98/ME,
// and LoadStringA would pass every text through the ANSI code page; the block
// itself is readable on every system and keeps each language's text exact.
#pragma once
#include <windows.h>
#include <objbase.h>

namespace z9 {

// String `id` of `module`'s table in the language the resource loader picks
// for the calling thread (as LoadString does). On success `text` points into
// the resource, `length` characters long and not zero-terminated. A missing
// or empty string, or an id above 0xFFFF, gives false.
bool FindResourceString(HINSTANCE module, UINT id, const WCHAR** text, int* length);

// The same string as a zero-terminated task-memory copy (CoTaskMemFree);
// nullptr when the id is 0 or the string does not exist.
LPOLESTR ResourceTaskString(HINSTANCE module, UINT id);

}  // namespace z9
