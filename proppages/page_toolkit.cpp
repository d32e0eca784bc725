#include "page_toolkit.h"

#include "access/camera_access.h"

namespace z9 {

HRESULT CameraPage::GetExtControl(ULONG id, ControlInfo* record) {
  return camprop::GetExtControl(Object(0), id, record);
}

HRESULT CameraPage::SetExtControl(ULONG id, const ControlInfo& record) {
  const HRESULT hr = camprop::SetExtControl(Object(0), id, record);
  SetDirty(true);
  return hr;
}

HRESULT CameraPage::GetStreamInfo(int* type, int* width, int* height) {
  return camprop::GetStreamInfo(Object(0), type, width, height);
}

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

}  // namespace z9
