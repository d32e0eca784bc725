// The "Video Proc Amp" page: picture controls of the standard video proc amp
// set, exposure and low-light compensation of the camera control set, and the
// camera's own mirror/flip, snapshot size and colour enable. Every change goes
// to the camera at once; Apply commits, closing without Apply takes back.
#pragma once
#include "access/control_tables.h"
#include "page_toolkit.h"

namespace z9 {

class CDefaultPage1 : public StandardControlPage {
 public:
  CDefaultPage1();
  ~CDefaultPage1() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  BOOL OnHScroll(WORD code, WORD thumb, HWND control) override;
  void OnDestroy() override;
  void OnApply() override;

 private:
  void InitPictureRows();
  void InitSwitches();
  void InitFrequency();
  void InitExtension();
  void SetTexts();
  void ShowFrequency(int32_t value);
  void FillSnapshotSizes(int width, int height);

  void OnFrequency(int32_t value, int button);
  void OnMirrorBit(int32_t bit, int box);
  void OnDefault();
  void TakeBack();

  int32_t frequencyDefault_ = 0;  // power-line frequency default read at initialisation
};

// A new page object holding one reference.
PageBase* CreateDefaultPage1();

}  // namespace z9
