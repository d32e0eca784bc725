#include "grab_texts.h"

#include <algorithm>
#include <iterator>

#include "language.h"

namespace z9twn {

namespace {

constexpr size_t kGrabReadSize = 250;

void Fill(GrabTexts* t, z9::LangText (&texts)[16]) {
  const z9::LangText table[16] = {
      {"MsgCaption0", "Error", t->msgCaption0},
      {"MsgString3", "Cannot set frame rate for preview!", t->msgString3},
      {"MsgString4", "Cannot preview !", t->msgString4},
      {"MsgString5", "Cannot preview !", t->msgString5},
      {"MsgString7", "Error! Device busy, please try again!", t->msgString7},
      {"MsgString8", "Error! Out of memory!", t->msgString8},
      {"MsgString9", "Error! Stream is stop, please start preview windows!", t->msgString9},
      {"MsgString11", "Error! Out of memory!", t->msgString11},
      {"MsgString13", "Can not get default video stream format!", t->msgString13},
      {"DlgString3", "&Capture", t->dlgString3},
      {"DlgString4", "&Mode", t->dlgString4},
      {"DlgString5", "&Freeze", t->dlgString5},
      {"DlgString6", "&Resume", t->dlgString6},
      {"DlgString7", "&Property", t->dlgString7},
      {"DlgString16", "&Exit", t->dlgString16},
      {"DlgString17", "Image Size", t->dlgString17},
  };
  std::copy(std::begin(table), std::end(table), std::begin(texts));
}

z9::LangTable TableOf(z9::LangText (&texts)[16]) {
  return z9::LangTable{"Grabdlg", texts, 16, kGrabTextSize, kGrabReadSize};
}

}  // namespace

void LoadGrabTexts(GrabTexts* texts) {
  z9::LangText entries[16];
  Fill(texts, entries);
  z9::LangLookup lookup;
  lookup.number = z9::LangNumberSource::MultiLangId;
  lookup.keyAccess = KEY_READ;
  z9::LoadLanguageTexts(lookup, TableOf(entries));
}

void UseDefaultGrabTexts(GrabTexts* texts) {
  z9::LangText entries[16];
  Fill(texts, entries);
  z9::UseBuiltinTexts(TableOf(entries));
}

}  // namespace z9twn
