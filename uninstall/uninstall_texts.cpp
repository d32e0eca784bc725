#include "uninstall_texts.h"

#include "language.h"

namespace z9rmv {

void LoadUninstallTexts(UninstallTexts* t) {
  z9::LangText texts[] = {
      {"MsgCaption0", "Uninstall...", t->msgCaption0},
      {"MsgString0", "Are you sure you want to remove components?", t->msgString0},
      {"MsgString1", "Failure to call windows API SetupOpenInfFile.\n Inf File:", t->msgString1},
      {"MsgString2", "Failure to call windows API SetupCommitFileQueue.", t->msgString2},
      {"MsgString3", "Out of memory !!", t->msgString3},
      {"MsgString4", "Unsupport windows version. This program only supports window 98/ME/2000/XP.", t->msgString4},
      {"MsgString5", "Please unplug device. ", t->msgString5},
  };
  const z9::LangTable table = {"CamUnin", texts, sizeof texts / sizeof texts[0], kUninstallTextSize,
                               kUninstallTextSize};
  z9::LangLookup lookup;
  lookup.number = z9::LangNumberSource::MultiLangId;
  lookup.keyAccess = KEY_ALL_ACCESS;
  z9::LoadLanguageTexts(lookup, table);
}

}  // namespace z9rmv
