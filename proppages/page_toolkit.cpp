#include "page_toolkit.h"

#include "access/camera_access.h"
#include "access/ks_interfaces.h"

namespace z9 {

void CheckRadioRun(HWND dialog, int first, int count, int32_t index) {
  for (int i = 0; i < count; ++i) camprop::CheckItem(dialog, first + i, index == i);
}

void EnableRun(HWND dialog, int first, int count, bool enable) {
  for (int i = 0; i < count; ++i) camprop::EnableItem(dialog, first + i, enable);
}

void CheckRadio(HWND dialog, const int* ids, size_t count, int checkedId) {
  for (size_t i = 0; i < count; ++i) camprop::CheckItem(dialog, ids[i], ids[i] == checkedId);
}

// ---- CameraPage ---------------------------------------------------------------------

HRESULT CameraPage::GetExtControl(ULONG id, ControlInfo* record) {
  return camprop::GetExtControl(Object(0), id, record);
}

bool CameraPage::ReadExtControl(ULONG id, ControlInfo* record) {
  if (Readable(GetExtControl(id, record), *record)) return true;
  *record = ControlInfo{};
  return false;
}

HRESULT CameraPage::SetExtControl(ULONG id, const ControlInfo& record) {
  const HRESULT hr = camprop::SetExtControl(Object(0), id, record);
  SetDirty(true);
  return hr;
}

HRESULT CameraPage::GetStreamInfo(int* type, int* width, int* height) {
  return camprop::GetStreamInfo(Object(0), type, width, height);
}

// ---- StandardControlPage -----------------------------------------------------------

HRESULT StandardControlPage::SetControl(const GUID& set, ULONG id, camprop::StandardControl* entry) {
  if (entry == nullptr) return E_POINTER;
  bool requestFailed = false;
  const HRESULT hr = camprop::SetControl(Object(0), set, id, *entry, &requestFailed);
  if (!requestFailed) SetDirty(true);
  return hr;
}

HRESULT StandardControlPage::GetControl(const GUID& set, ULONG id, camprop::StandardControl* entry) {
  return camprop::GetControl(Object(0), set, id, entry);
}

HRESULT StandardControlPage::GetControlRange(const GUID& set, ULONG id, camprop::StandardControl* entry) {
  return camprop::GetControlRange(Object(0), set, id, entry);
}

void StandardControlPage::ShowLowLight(int label, int box, const camprop::StandardControl& low) {
  HWND dlg = Dialog();
  if (!low.Supported()) {
    camprop::EnableItem(dlg, label, false);
    camprop::EnableItem(dlg, box, false);
    return;
  }
  camprop::EnableItem(dlg, label, true);
  const bool usable = (low.Capabilities & kCapsModes) != 0;
  camprop::EnableItem(dlg, box, usable);
  camprop::CheckItem(dlg, box, usable && low.Flags == kControlFlagsAuto);
}

void StandardControlPage::DefaultLowLight(int box, camprop::StandardControl* low) {
  if (!low->Supported()) return;
  low->Value = low->Baseline.Default;
  low->Flags = low->Baseline.Flags;
  low->Capabilities = low->Baseline.Capabilities;
  if (low->Capabilities & kCapsModes) {
    const bool on = low->Baseline.Default == 1;
    low->Flags = on ? kControlFlagsAuto : kControlFlagsManual;
    camprop::CheckItem(Dialog(), box, on);
  }
  SetControl(camprop::CameraControlSet(), kAutoExposurePriority, low);
}

void StandardControlPage::DefaultLockingRow(const GUID& set, ULONG id, const camprop::SliderRow& row,
                                            camprop::StandardControl* entry) {
  if (!entry->Supported()) return;
  HWND dlg = Dialog();
  entry->Value = entry->Baseline.Default;
  entry->Capabilities = entry->Baseline.Capabilities;
  // Automatic only where the camera has it: a manual-only control asked for
  // automatic mode would keep its slider locked for nothing.
  const bool automatic = (entry->Capabilities & camprop::kCapsAuto) != 0;
  entry->Flags = automatic ? kControlFlagsAuto : kControlFlagsManual;
  camprop::EnableItem(dlg, row.slider, !automatic && camprop::HasRange(entry->Baseline));
  camprop::CheckItem(dlg, row.autoBox, automatic);
  camprop::ShowSliderValue(dlg, row, entry->Value);
  SetControl(set, id, entry);
}

}  // namespace z9
