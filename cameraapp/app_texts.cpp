#include "app_texts.h"

#include <iterator>

#include "language.h"

namespace z9app {

void LoadAppTexts(AppTexts* texts) {
  z9::LangText entries[] = {
      {"MsgCaption0", "Error", texts->caption},
      {"MsgString1", "The camera's capture dialog (Z9100Twn.dll) cannot be loaded. Please install the camera software again.",
       texts->noLibrary},
      {"MsgString2", "The picture could not be saved.", texts->notSaved},
      {"DlgString0", "Z9100 Camera", texts->title},
      {"DlgString1", "No picture taken yet.", texts->noPicture},
      {"DlgString2", "Last picture:", texts->lastPicture},
  };
  const z9::LangTable table = {"CamApp", entries, std::size(entries), kTextSize, kTextSize};
  z9::LoadLanguageTexts(z9::LangLookup{}, table);
}

}  // namespace z9app
