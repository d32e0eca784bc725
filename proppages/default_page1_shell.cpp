// Stand-in for the "Video Proc Amp" page, built only while the page itself
// is not in the tree: it registers and shows dialog 116 with the page mask
// and the translated labels, and talks to no camera.
#include <new>

#include "page_base.h"
#include "page_clsids.h"
#include "resource.h"

namespace z9 {
namespace {

constexpr DialogText kTexts[] = {
    {245, "DlgString25"}, {249, "DlgString26"}, {253, "DlgString27"}, {257, "DlgString28"}, {261, "DlgString29"},
    {265, "DlgString30"}, {269, "DlgString31"}, {273, "DlgString32"}, {277, "DlgString33"}, {278, "DlgString34"},
    {316, "DlgString45"}, {411, "DlgString11"}, {412, "DlgString12"}, {403, "DlgString38"}, {410, "DlgString49"},
    {409, "DlgString14"}, {407, "DlgString15"}, {408, "DlgString16"}, {397, "DlgString91"}, {404, "DlgString92"},
    {405, "DlgString93"}, {406, "DlgString94"}, {415, "DlgString95"},
};

class DefaultPage1Shell : public PageBase {
 public:
  DefaultPage1Shell() : PageBase(CLSID_DefaultPage1, IDD_DEFAULTPAGE1, IDS_TITLE_DEFAULTPAGE1) {}
  BOOL OnInitDialog() override {
    PreparePageDialog(Dialog(), kMaskDefaultPage1);
    LoadPageStrings();
    SetDialogTexts(Dialog(), kTexts);
    return TRUE;
  }
};

}  // namespace

PageBase* CreateDefaultPage1() { return new (std::nothrow) DefaultPage1Shell(); }

}  // namespace z9
