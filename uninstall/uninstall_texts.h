// The uninstaller's texts, section "CamUnin" of the language file, with
// their built-in English defaults.
#pragma once
#include <cstddef>

namespace z9rmv {

constexpr size_t kUninstallTextSize = 251;  // up to 250 characters

struct UninstallTexts {
  char msgCaption0[kUninstallTextSize];
  char msgString0[kUninstallTextSize];
  char msgString1[kUninstallTextSize];
  char msgString2[kUninstallTextSize];
  char msgString3[kUninstallTextSize];
  char msgString4[kUninstallTextSize];
  char msgString5[kUninstallTextSize];
};

// Looked up with full access to the settings key (KEY_ALL_ACCESS plus the
// view flag): without the right to write that key the built-in texts are used.
void LoadUninstallTexts(UninstallTexts* texts);

}  // namespace z9rmv
