#include "prop_page2.h"

#include <cstdio>
#include <new>

#include "page_clsids.h"
#include "resource.h"

namespace z9 {
namespace {

constexpr DialogText kTexts[] = {
    {316, "DlgString51"},
    {373, "DlgString52"},
    {396, "DlgString34"},
};

// Effect n (1 to 30) sits on button 326 + n; its text is "DlgString<52 + n>".
constexpr int kFirstEffectButton = 327;
constexpr int kEffects = 30;

}  // namespace

CPropPage2::CPropPage2()
    : PageBase(CLSID_PropPage2, IDD_PROPPAGE2, IDS_TITLE_PROPPAGE2, IDS_HELPFILE_PROPPAGE2, IDS_DOCSTRING_PROPPAGE2) {}

BOOL CPropPage2::OnInitDialog() {
  PreparePageDialog(Dialog(), kMaskPropPage2);
  LoadPageStrings();
  SetDialogTexts(Dialog(), kTexts);
  for (int effect = 1; effect <= kEffects; ++effect) {
    char key[16];
    std::snprintf(key, sizeof key, "DlgString%d", 52 + effect);
    SetDlgItemTextA(Dialog(), kFirstEffectButton - 1 + effect, PageString(key));
  }
  return TRUE;
}

PageBase* CreatePropPage2() { return new (std::nothrow) CPropPage2(); }

}  // namespace z9
