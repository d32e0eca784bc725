// CPropPage1: the "Property Page" tab (dialog 106), the camera's own
// settings. This class registers, shows its dialog with the page mask and
// the translated labels; the camera logic is not part of it yet.
#pragma once
#include "page_base.h"

namespace z9 {

class CPropPage1 : public PageBase {
 public:
  CPropPage1();
  BOOL OnInitDialog() override;
};

PageBase* CreatePropPage1();  // new object, one reference

}  // namespace z9
