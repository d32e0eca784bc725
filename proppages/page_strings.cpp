// The page string table: every key of the "PropertyPage" section in the
// order the table is read, with its English default.
#include "page_strings.h"

#include <cstring>

#include "language.h"

namespace z9 {
namespace {

struct KeyDefault {
  const char* key;
  const char* text;
};

// Row by row of the page texts, left to right: "DlgString49" is read between
// "DlgString42" and "DlgString43"; there are no keys 47, 48 or 83 to 89.
constexpr KeyDefault kDefaults[] = {
    {"MsgString0",
     "You must restart your computer for this change to take effect.\n"
     "Do you want to restart your computer now ?"},
    {"MsgCaption0", "Setting Change"},
    {"MsgString1", "Can not restart Windows !"},
    {"MsgCaption1", "ERROR"},
    {"DlgString0", "Auto White Balance"},
    {"DlgString1", "Environment"},
    {"DlgString2", "Auto"},
    {"DlgString3", "Tungsten"},
    {"DlgString4", "Daylight"},
    {"DlgString5", "Fluorescent"},
    {"DlgString6", "RGB gain"},
    {"DlgString7", "R"},
    {"DlgString8", "G"},
    {"DlgString9", "B"},
    {"DlgString10", "Rotation"},
    {"DlgString11", "Horizontal"},
    {"DlgString12", "Vertical"},
    {"DlgString13", "Frequency"},
    {"DlgString14", "Outdoor"},
    {"DlgString15", "50 Hz"},
    {"DlgString16", "60 Hz"},
    {"DlgString17", "Extension"},
    {"DlgString18", "640 x 480"},
    {"DlgString19", "800 x 600"},
    {"DlgString20", "1024 x 768"},
    {"DlgString21", "1280 x 960"},
    {"DlgString22", "Selective Suspend"},
    {"DlgString23", "Default"},
    {"DlgString24", "Property Page"},
    {"DlgString25", "Brightness"},
    {"DlgString26", "Contrast"},
    {"DlgString27", "Hue"},
    {"DlgString28", "Saturation"},
    {"DlgString29", "Sharpness"},
    {"DlgString30", "Gamma"},
    {"DlgString31", "White Balance"},
    {"DlgString32", "Backlight Comp"},
    {"DlgString33", "ColorEnable"},
    {"DlgString34", "Default"},
    {"DlgString35", "Auto"},
    {"DlgString36", "Zoom"},
    {"DlgString37", "Focus"},
    {"DlgString38", "Exposure"},
    {"DlgString39", "Iris"},
    {"DlgString40", "Pan"},
    {"DlgString41", "Tilt"},
    {"DlgString42", "Roll"},
    {"DlgString49", "Low Light Compensation"},
    {"DlgString43", "Video Proc Amp"},
    {"DlgString44", "Camera Control"},
    {"DlgString45", "Gain"},
    {"DlgString46", "(Anti Flick)"},
    {"DlgString50", "Image Control"},
    {"DlgString51", "Face Tracking"},
    {"DlgString52", "Special Effects"},
    {"DlgString53", "Rim 1"},
    {"DlgString54", "Rim 2"},
    {"DlgString55", "Rim 3"},
    {"DlgString56", "Rim 4"},
    {"DlgString57", "Rim 5"},
    {"DlgString58", "Rim 6"},
    {"DlgString59", "Rim 7"},
    {"DlgString60", "Rim 8"},
    {"DlgString61", "Rim 9"},
    {"DlgString62", "Rim 10"},
    {"DlgString63", "Negative"},
    {"DlgString64", "TV Effect"},
    {"DlgString65", "Mosaic1"},
    {"DlgString66", "Mosaic2"},
    {"DlgString67", "Frosted Glass"},
    {"DlgString68", "Sketch1"},
    {"DlgString69", "Sketch2"},
    {"DlgString70", "Emboss"},
    {"DlgString71", "Aged Photo"},
    {"DlgString72", "TV Wall"},
    {"DlgString73", "EffectR21"},
    {"DlgString74", "EffectR22"},
    {"DlgString75", "EffectR23"},
    {"DlgString76", "EffectR24"},
    {"DlgString77", "EffectR25"},
    {"DlgString78", "EffectR26"},
    {"DlgString79", "EffectR27"},
    {"DlgString80", "EffectR28"},
    {"DlgString81", "EffectR29"},
    {"DlgString82", "EffectR30"},
    {"DlgString90", "Default"},
    {"DlgString91", "Image Control"},
    {"DlgString92", "Auto Control"},
    {"DlgString93", "Banding"},
    {"DlgString94", "Extra Control"},
    {"DlgString95", "SnapShot Size"},
};
constexpr size_t kCount = sizeof kDefaults / sizeof kDefaults[0];

// At most 250 characters of a file text are taken.
constexpr size_t kReadSize = 251;
static_assert(kReadSize <= kPageStringSize, "the read must fit the slot");

char g_slots[kCount][kPageStringSize];
bool g_loaded = false;

void Fill(bool fromFile) {
  LangText texts[kCount];
  for (size_t i = 0; i < kCount; ++i) texts[i] = {kDefaults[i].key, kDefaults[i].text, g_slots[i]};
  const LangTable table = {"PropertyPage", texts, kCount, kPageStringSize, kReadSize};
  if (fromFile) {
    LangLookup lookup;
    lookup.number = LangNumberSource::SystemDefaultLanguage;
    lookup.keyAccess = KEY_QUERY_VALUE;
    lookup.openFailLine = "Open reg fail!";
    lookup.pathFailLine = "Query Lng file path fail!";
    LoadLanguageTexts(lookup, table);
  } else {
    UseBuiltinTexts(table);
  }
  g_loaded = true;
}

}  // namespace

void LoadPageStrings() { Fill(true); }

const char* PageString(const char* key) {
  if (key == nullptr) return "";
  // Before the first dialog initialisation the table holds the defaults.
  if (!g_loaded) Fill(false);
  for (size_t i = 0; i < kCount; ++i)
    if (std::strcmp(kDefaults[i].key, key) == 0) return g_slots[i];
  return "";
}

size_t PageStringCount() { return kCount; }

const char* PageStringKey(size_t index) { return index < kCount ? kDefaults[index].key : nullptr; }

void SetDialogTexts(HWND dialog, const DialogText* texts, size_t count) {
  if (dialog == nullptr || texts == nullptr) return;
  for (size_t i = 0; i < count; ++i) SetDlgItemTextA(dialog, texts[i].controlId, PageString(texts[i].key));
}

const char* PageStringDefault(const char* key) {
  if (key == nullptr) return "";
  for (size_t i = 0; i < kCount; ++i)
    if (std::strcmp(kDefaults[i].key, key) == 0) return kDefaults[i].text;
  return "";
}

}  // namespace z9
