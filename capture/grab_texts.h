// The capture dialog's texts: section "Grabdlg" of the language file, each
// with its English default.
#pragma once
#include <cstddef>

namespace z9twn {

constexpr size_t kGrabTextSize = 252;  // at most 249 characters are taken from the file

struct GrabTexts {
  char msgCaption0[kGrabTextSize];  // caption of every message box
  char msgString3[kGrabTextSize];   // frame rate cannot be set
  char msgString4[kGrabTextSize];   // no frame statistics
  char msgString5[kGrabTextSize];   // graph does not run
  char msgString7[kGrabTextSize];   // camera busy
  char msgString8[kGrabTextSize];   // camera out of memory
  char msgString9[kGrabTextSize];   // stream stopped
  char msgString11[kGrabTextSize];  // no memory for the picture
  char msgString13[kGrabTextSize];  // stream format cannot be read
  char dlgString3[kGrabTextSize];   // "&Capture"
  char dlgString4[kGrabTextSize];   // "&Mode"
  char dlgString5[kGrabTextSize];   // "&Freeze"
  char dlgString6[kGrabTextSize];   // "&Resume"
  char dlgString7[kGrabTextSize];   // "&Property"
  char dlgString16[kGrabTextSize];  // "&Exit"
  char dlgString17[kGrabTextSize];  // "Image Size"
};

// From the file named by "LangFilePath" and "MultiLangID" (settings key opened
// with KEY_READ and the registry view flag); defaults for whatever is missing.
void LoadGrabTexts(GrabTexts* texts);
// Every text at its default.
void UseDefaultGrabTexts(GrabTexts* texts);

}  // namespace z9twn
