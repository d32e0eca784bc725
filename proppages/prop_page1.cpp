#include "prop_page1.h"

#include <new>

#include "page_clsids.h"
#include "resource.h"

namespace z9 {
namespace {

constexpr DialogText kTexts[] = {
    {236, "DlgString0"},  {400, "DlgString1"},  {401, "DlgString2"},  {403, "DlgString3"},  {402, "DlgString4"},
    {404, "DlgString5"},  {243, "DlgString6"},  {238, "DlgString7"},  {240, "DlgString8"},  {242, "DlgString9"},
    {420, "DlgString10"}, {421, "DlgString11"}, {422, "DlgString12"}, {410, "DlgString13"}, {411, "DlgString14"},
    {412, "DlgString15"}, {413, "DlgString16"}, {430, "DlgString17"}, {431, "DlgString18"}, {432, "DlgString19"},
    {433, "DlgString20"}, {434, "DlgString21"}, {244, "DlgString22"}, {450, "DlgString23"},
};

}  // namespace

CPropPage1::CPropPage1()
    : PageBase(CLSID_PropPage1, IDD_PROPPAGE1, IDS_TITLE_PROPPAGE1, IDS_HELPFILE_PROPPAGE1, IDS_DOCSTRING_PROPPAGE1) {}

BOOL CPropPage1::OnInitDialog() {
  PreparePageDialog(Dialog(), kMaskPropPage1);
  LoadPageStrings();
  SetDialogTexts(Dialog(), kTexts);
  return TRUE;
}

PageBase* CreatePropPage1() { return new (std::nothrow) CPropPage1(); }

}  // namespace z9
