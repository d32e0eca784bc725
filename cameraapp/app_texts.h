// The camera application's texts: section "CamApp" of the language file, with
// English defaults.
#pragma once
#include <cstddef>

namespace z9app {

constexpr size_t kTextSize = 250;

struct AppTexts {
  char caption[kTextSize];      // MsgCaption0: caption of the application's message boxes
  char noLibrary[kTextSize];    // MsgString1: the capture dialog library cannot be loaded
  char notSaved[kTextSize];     // MsgString2: a picture could not be saved
  char title[kTextSize];        // DlgString0: the main window's title
  char noPicture[kTextSize];    // DlgString1: shown until the first picture
  char lastPicture[kTextSize];  // DlgString2: put before the last picture's path
};

// Fills every text, from the language file where it has one.
void LoadAppTexts(AppTexts* texts);

}  // namespace z9app
