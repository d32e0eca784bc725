// Translated texts from the language files: "LG<number>.dat" in the folder of
// the setting "LangFilePath", one private-profile section per deliverable,
// with a built-in English text for every entry the file does not supply.
#pragma once
#include <windows.h>

#include <cstddef>

namespace z9 {

// One entry of a deliverable's text table.
struct LangText {
  const char* key;      // "DmpString2", "MsgCaption0", ...
  const char* builtin;  // English default; may hold real line breaks
  char* slot;           // the deliverable's fixed buffer
};

struct LangTable {
  const char* section;  // "StillMnt", "PropertyPage", "Grabdlg", "CamUnin"
  LangText* texts;
  size_t count;
  size_t slotSize;  // bytes of every slot
  size_t readSize;  // bytes handed to the profile read: longest text + 1 (<= slotSize)
};

enum class LangNumberSource {
  MultiLangId,            // the setting "MultiLangID"
  SystemDefaultLanguage,  // GetSystemDefaultLangID()
};

struct LangLookup {
  LangNumberSource number = LangNumberSource::MultiLangId;
  REGSAM keyAccess = KEY_QUERY_VALUE;  // the view flag is added
  // Debugger-output lines for a key that does not open / a path that cannot
  // be read; nullptr writes nothing.
  const char* openFailLine = nullptr;
  const char* pathFailLine = nullptr;
};

// "<folder>\LG<number>.dat" into out[outSize]; false when it does not fit.
bool LanguageFilePath(char* out, size_t outSize, const char* folder, DWORD number);

// Fills every slot of the table, from the file where it has a non-empty
// text, from the built-in text otherwise. Never fails; every slot ends
// terminated and within its size.
void LoadLanguageTexts(const LangLookup& lookup, const LangTable& table);

// Copies the built-in texts into every slot.
void UseBuiltinTexts(const LangTable& table);

// The monitor's texts (section "StillMnt").
constexpr size_t kMonitorTextSize = 250;
struct MonitorStrings {
  char dmpString2[kMonitorTextSize];  // the disconnect warning
};
constexpr char kDisconnectWarning[] = "Please disconnect device for 5 sec(s).";
void LoadMonitorStrings(MonitorStrings* strings);

}  // namespace z9
