#include "default_page2.h"

#include <new>

#include "page_clsids.h"
#include "resource.h"

namespace z9 {
namespace {

constexpr DialogText kTexts[] = {
    {279, "DlgString36"}, {283, "DlgString37"}, {287, "DlgString38"}, {291, "DlgString39"},
    {295, "DlgString40"}, {299, "DlgString41"}, {303, "DlgString42"}, {391, "DlgString49"},
    {307, "DlgString34"}, {308, "DlgString35"},
};

}  // namespace

CDefaultPage2::CDefaultPage2() : PageBase(CLSID_DefaultPage2, IDD_DEFAULTPAGE2, IDS_TITLE_DEFAULTPAGE2) {}

BOOL CDefaultPage2::OnInitDialog() {
  PreparePageDialog(Dialog(), kMaskDefaultPage2);
  LoadPageStrings();
  SetDialogTexts(Dialog(), kTexts);
  return TRUE;
}

PageBase* CreateDefaultPage2() { return new (std::nothrow) CDefaultPage2(); }

}  // namespace z9
