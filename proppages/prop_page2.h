// CPropPage2: the "Image Control" tab (dialog 203), face tracking, effects
// and the pan/zoom pad. This class registers, shows its dialog with the page
// mask and the translated labels; the camera logic is not part of it yet.
#pragma once
#include "page_base.h"

namespace z9 {

class CPropPage2 : public PageBase {
 public:
  CPropPage2();
  BOOL OnInitDialog() override;
};

PageBase* CreatePropPage2();  // new object, one reference

}  // namespace z9
