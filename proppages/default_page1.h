// The "Video Proc Amp" page: picture controls of the standard video proc amp
// set, exposure and low-light compensation of the camera control set, and the
// camera's own mirror/flip, snapshot size and colour enable. Every change goes
// to the camera at once; Apply commits, closing without Apply takes back.
#pragma once
#include "access/control_tables.h"
#include "page_base.h"

namespace z9 {

class CDefaultPage1 : public PageBase {
 public:
  CDefaultPage1();
  ~CDefaultPage1() override;

  // The page's own virtual operations, in this slot order after the
  // IPropertyPage slots. All three work on object 0.
  // SET of the entry's working state; marks the page dirty unless the request
  // was sent and failed.
  virtual HRESULT SetControl(const GUID& set, ULONG id, camprop::StandardControl* entry);
  // GET into the entry's working state.
  virtual HRESULT GetControl(const GUID& set, ULONG id, camprop::StandardControl* entry);
  // GET plus access, range and default into a cleared entry.
  virtual HRESULT GetControlRange(const GUID& set, ULONG id, camprop::StandardControl* entry);

  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  BOOL OnHScroll(WORD code, WORD thumb, HWND control) override;
  void OnDestroy() override;
  void OnApply() override;

 private:
  HRESULT GetExtControl(ULONG id, ControlInfo* record);
  HRESULT SetExtControl(ULONG id, const ControlInfo& record);  // marks the page dirty

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
