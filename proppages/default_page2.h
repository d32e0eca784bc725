// CDefaultPage2: the "Camera Control" tab (dialog 121), zoom, focus,
// exposure, iris, pan, tilt, roll and low light. This class registers, shows
// its dialog with the page mask and the translated labels; the camera logic
// is not part of it yet.
#pragma once
#include "page_base.h"

namespace z9 {

class CDefaultPage2 : public PageBase {
 public:
  CDefaultPage2();
  BOOL OnInitDialog() override;
};

PageBase* CreateDefaultPage2();  // new object, one reference

}  // namespace z9
