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

// The table's keys in reading order, and each key's English default ("" for
// a key that is not in the table).
size_t PageStringCount();
const char* PageStringKey(size_t index);  // nullptr past the end
const char* PageStringDefault(const char* key);

// One control label of a page and the key of its text.
struct DialogText {
  int controlId;
  const char* key;
};
// Sets each control's text from the table (after LoadPageStrings).
void SetDialogTexts(HWND dialog, const DialogText* texts, size_t count);
template <size_t N>
void SetDialogTexts(HWND dialog, const DialogText (&texts)[N]) {
  SetDialogTexts(dialog, texts, N);
}

}  // namespace z9
