#include "language.h"

#include <cstdio>

#include "settings.h"
#include "win_handles.h"

namespace z9 {

bool LanguageFilePath(char* out, size_t outSize, const char* folder, DWORD number) {
  if (out == nullptr || outSize == 0) return false;
  int n = std::snprintf(out, outSize, "%s\\LG%lu.dat", folder, static_cast<unsigned long>(number));
  if (n < 0 || static_cast<size_t>(n) >= outSize) {
    out[0] = '\0';
    return false;
  }
  return true;
}

namespace {

void CopyBuiltin(const LangTable& table, const LangText& text) {
  lstrcpynA(text.slot, text.builtin, static_cast<int>(table.slotSize));
}

void DebugLine(const char* line) {
  if (line != nullptr) OutputDebugStringA(line);
}

}  // namespace

void UseBuiltinTexts(const LangTable& table) {
  for (size_t i = 0; i < table.count; ++i) CopyBuiltin(table, table.texts[i]);
}

void LoadLanguageTexts(const LangLookup& lookup, const LangTable& table) {
  DWORD number = 0;
  char folder[kLangFilePathSize];
  {
    UniqueHKey key;
    if (!OpenSettingsKey(lookup.keyAccess, &key)) {
      DebugLine(lookup.openFailLine);
      UseBuiltinTexts(table);
      return;
    }
    if (lookup.number == LangNumberSource::MultiLangId) {
      if (!QueryDwordValue(key.get(), "MultiLangID", &number)) {
        UseBuiltinTexts(table);
        return;
      }
    } else {
      number = GetSystemDefaultLangID();
    }
    if (!QueryTextValue(key.get(), "LangFilePath", folder, sizeof folder)) {
      DebugLine(lookup.pathFailLine);
      UseBuiltinTexts(table);
      return;
    }
  }

  char file[kLangFilePathSize + 32];
  if (!LanguageFilePath(file, sizeof file, folder, number)) {
    UseBuiltinTexts(table);
    return;
  }
  const size_t readSize = table.readSize < table.slotSize ? table.readSize : table.slotSize;
  for (size_t i = 0; i < table.count; ++i) {
    const LangText& text = table.texts[i];
    DWORD got = GetPrivateProfileStringA(table.section, text.key, "", text.slot, static_cast<DWORD>(readSize), file);
    text.slot[readSize - 1] = '\0';
    if (got == 0 || text.slot[0] == '\0') CopyBuiltin(table, text);
  }
}

void LoadMonitorStrings(MonitorStrings* strings) {
  LangText texts[] = {
      {"DmpString2", kDisconnectWarning, strings->dmpString2},
  };
  const LangTable table = {"StillMnt", texts, sizeof texts / sizeof texts[0], kMonitorTextSize, kMonitorTextSize};
  LoadLanguageTexts(LangLookup{}, table);
}

}  // namespace z9
