// The "Property Page" page: the camera's own settings -- automatic white
// balance and its environment, red/green/blue gains, anti-flicker frequency,
// mirror and flip relative to the installed default orientation, snapshot
// size and selective suspend (whose change offers a restart). Every change
// goes to the camera at once; Apply commits, closing without Apply takes the
// page's records back (never the frequency).
#pragma once
#include "access/control_tables.h"
#include "page_toolkit.h"

namespace z9 {

class CPropPage1 : public CameraPage {
 public:
  CPropPage1();

  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  BOOL OnHScroll(WORD code, WORD thumb, HWND control) override;
  void OnDestroy() override;
  void OnApply() override;

 private:
  // Whether the camera gave the record of `id` at initialisation.
  bool Known(ULONG id) const;
  void InitEnvironment();
  void InitChoices();
  void InitGains();
  void ShowChoice(int firstButton, int buttons, int32_t value);
  void ShowRotation(int32_t value);
  void EnableEnvironment(bool enable);

  void OnChoice(ULONG id, int firstButton, int buttons, int32_t value);
  void OnRotation(int32_t bit, int box);
  void OnAutoWhiteBalance();
  void OnSelectiveSuspend();
  void OnReset();

  camprop::ExtControlTable ext_;
  DWORD defaultFlip_ = 0;        // installed orientation: bit 0 horizontal, bit 1 vertical
  bool autoWhiteBalance_ = false;
  bool autoBoxUsable_ = false;   // the camera offers both white-balance modes
};

PageBase* CreatePropPage1();  // new object, one reference

}  // namespace z9
