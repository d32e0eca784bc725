// The "Camera Control" page: zoom, focus, exposure, iris, pan, tilt and roll
// of the standard camera control set, each with a slider, a value box and an
// auto box, and low-light compensation (auto-exposure priority). Every change
// goes to the camera at once; Apply commits, closing without Apply takes back.
#pragma once
#include "access/control_tables.h"
#include "page_toolkit.h"

namespace z9 {

class CDefaultPage2 : public StandardControlPage {
 public:
  CDefaultPage2();

  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  BOOL OnHScroll(WORD code, WORD thumb, HWND control) override;
  void OnDestroy() override;
  void OnApply() override;

 private:
  void OnDefault();
  void TakeBack();
};

PageBase* CreateDefaultPage2();  // new object, one reference

}  // namespace z9
