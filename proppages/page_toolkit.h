// The page toolkit: what every camera page of the library is built from. A
// property page that talks to the camera through the capture filter it was
// handed (object 0), with dirty marking; the process-wide tables some page
// classes keep; and the helpers the pages share -- mode bits, the readable
// test, radio buttons, and the low-light and automatic-row blocks of the
// standard-control pages. A page file then holds only its own rows,
// initialisation, actions, Default/Reset and take-back.
#pragma once
#include <cstddef>

#include "access/control_tables.h"
#include "access/slider_rules.h"
#include "page_base.h"

namespace z9 {

// Both modes of a control: automatic and manual.
constexpr int32_t kCapsModes = camprop::kCapsAuto | camprop::kCapsManual;

// Auto-exposure priority (camera control set), shown as low-light compensation.
constexpr ULONG kAutoExposurePriority = 19;

// A record the camera gave: the GET succeeded and the control is supported.
inline bool Readable(HRESULT hr, const ControlInfo& record) { return SUCCEEDED(hr) && record.Supported == 1; }

// Radio buttons: of `count` consecutive ids from `first`, checks the one at
// `index` (none when out of range) and unchecks the others.
void CheckRadioRun(HWND dialog, int first, int count, int32_t index);
// Enables or disables `count` consecutive ids from `first`.
void EnableRun(HWND dialog, int first, int count, bool enable);
// Of the buttons `ids`, checks `checkedId` (none when it is not among them)
// and unchecks the others.
void CheckRadio(HWND dialog, const int* ids, size_t count, int checkedId);
template <size_t N>
void CheckRadio(HWND dialog, const int (&ids)[N], int checkedId) {
  CheckRadio(dialog, ids, N, checkedId);
}

class CameraPage : public PageBase {
 public:
  using PageBase::PageBase;

 protected:
  // GET of the camera's control `id` into `record` (kept as it was when the
  // request fails).
  HRESULT GetExtControl(ULONG id, ControlInfo* record);
  // GET of the camera's control `id`: whether the camera gave it; a record
  // it did not give is cleared (Supported 0), so it is never sent.
  bool ReadExtControl(ULONG id, ControlInfo* record);
  // SET of the camera's control `id`; marks the page dirty whatever the result.
  HRESULT SetExtControl(ULONG id, const ControlInfo& record);
  // The running stream (type 0 = none); all three 0 when the request fails.
  HRESULT GetStreamInfo(int* type, int* width, int* height);
};

// A page of the standard camera property sets, with the three operations
// that follow the IPropertyPage slots in this order. All work on object 0.
class StandardControlPage : public CameraPage {
 public:
  using CameraPage::CameraPage;

  // SET of the entry's working state; marks the page dirty unless the request
  // was sent and failed.
  virtual HRESULT SetControl(const GUID& set, ULONG id, camprop::StandardControl* entry);
  // GET into the entry's working state.
  virtual HRESULT GetControl(const GUID& set, ULONG id, camprop::StandardControl* entry);
  // GET plus access, range and default into a cleared entry.
  virtual HRESULT GetControlRange(const GUID& set, ULONG id, camprop::StandardControl* entry);

 protected:
  // Low-light compensation at initialisation: label and box disabled when
  // the camera lacks it; otherwise the label enabled, the box usable with
  // either mode and checked when automatic.
  void ShowLowLight(int label, int box, const camprop::StandardControl& low);
  // Default of low-light compensation (when supported): the default value,
  // mode and capabilities; with either mode, automatic exactly when the
  // default is 1, shown by the box. Then its SET.
  void DefaultLowLight(int box, camprop::StandardControl* low);
  // Default of a row whose auto box locks its slider (exposure, white
  // balance), when supported: the default value, automatic where the camera
  // has the automatic mode (box checked, slider locked) and manual where it
  // has not (box clear, slider usable when it has a range). Then its SET.
  void DefaultLockingRow(const GUID& set, ULONG id, const camprop::SliderRow& row, camprop::StandardControl* entry);
};

// One table per page class and process, shared by every instance of the
// class (`Owner`): the later initialisation of a page of the class wins.
template <class Owner, class Table>
Table& ProcessWideTable() {
  static Table table;
  return table;
}

}  // namespace z9
