// The page string table: one process-wide table of 256-byte texts from the
// language file's "PropertyPage" section, English defaults otherwise.
#pragma once
#include <windows.h>

namespace z9 {

constexpr size_t kPageStringSize = 256;

// Looks a text up by its language-file key ("DlgString25", "MsgCaption1", ...);
// returns "" for a key that is not in the table. Valid after LoadPageStrings.
const char* PageString(const char* key);

// Reloads the table (every page's dialog initialisation calls it first).
void LoadPageStrings();

}  // namespace z9
