#include "camera_control_page.h"

#include <new>

#include "access/ks_interfaces.h"
#include "access/slider_rules.h"
#include "page_clsids.h"
#include "page_mask.h"
#include "page_strings.h"
#include "resource.h"

namespace z9 {
namespace {

using camprop::CameraControlSet;
using camprop::SliderRow;
using camprop::StandardControl;
using camprop::StandardControlTable;

// Camera control ids.
enum : ULONG {
  kPan = 0,
  kTilt = 1,
  kRoll = 2,
  kZoom = 3,
  kExposure = 4,
  kIris = 5,
  kFocus = 6,
};

// Controls of dialog 121 beyond the rows.
enum : int {
  kLowLightLabel = 391,
  kLowLightBox = 392,
  kDefaultButton = 307,
};

struct Row {
  ULONG id;
  SliderRow row;
};
// In reading order; only exposure's auto box needs both modes and locks its
// slider.
constexpr Row kRows[] = {
    {kZoom, {279, 280, 281, 282, false}},     {kFocus, {283, 284, 285, 286, false}},
    {kExposure, {287, 288, 289, 290, true}},  {kIris, {291, 292, 293, 294, false}},
    {kPan, {295, 296, 297, 298, false}},      {kTilt, {299, 300, 301, 302, false}},
    {kRoll, {303, 304, 305, 306, false}},
};

constexpr DialogText kTexts[] = {
    {279, "DlgString36"}, {283, "DlgString37"}, {287, "DlgString38"}, {291, "DlgString39"},
    {295, "DlgString40"}, {299, "DlgString41"}, {303, "DlgString42"}, {391, "DlgString49"},
    {307, "DlgString34"}, {308, "DlgString35"},
};

// The page class's table: one per process, shared by every instance.
StandardControlTable& Table() { return ProcessWideTable<CDefaultPage2, StandardControlTable>(); }

const Row* RowOfSlider(int sliderId) {
  for (const Row& r : kRows)
    if (r.row.slider == sliderId) return &r;
  return nullptr;
}

const Row* RowOfAutoBox(int boxId) {
  for (const Row& r : kRows)
    if (r.row.autoBox == boxId) return &r;
  return nullptr;
}

}  // namespace

PageBase* CreateDefaultPage2() { return new (std::nothrow) CDefaultPage2(); }

CDefaultPage2::CDefaultPage2() : StandardControlPage(CLSID_DefaultPage2, IDD_DEFAULTPAGE2, IDS_TITLE_DEFAULTPAGE2) {}

// ---- initialisation ------------------------------------------------------------

BOOL CDefaultPage2::OnInitDialog() {
  PreparePageDialog(Dialog(), kMaskDefaultPage2);
  StandardControlTable& t = Table();
  t.Clear();
  for (const Row& r : kRows) GetControlRange(CameraControlSet(), r.id, &t[r.id]);
  GetControlRange(CameraControlSet(), kAutoExposurePriority, &t[kAutoExposurePriority]);

  for (const Row& r : kRows) {
    const StandardControl& e = t[r.id];
    camprop::SetUpSliderRow(Dialog(), r.row, e, camprop::HasRange(e.Baseline));
  }
  ShowLowLight(kLowLightLabel, kLowLightBox, t[kAutoExposurePriority]);

  LoadPageStrings();
  SetDialogTexts(Dialog(), kTexts);
  return TRUE;
}

// ---- user actions -------------------------------------------------------------------

BOOL CDefaultPage2::OnHScroll(WORD code, WORD thumb, HWND control) {
  if (!control) return FALSE;
  const Row* r = RowOfSlider(GetDlgCtrlID(control));
  if (r == nullptr) return FALSE;
  StandardControl& e = Table()[r->id];
  camprop::ScrollSlider(Dialog(), r->row, code, thumb, &e);
  SetControl(CameraControlSet(), r->id, &e);
  return TRUE;
}

BOOL CDefaultPage2::OnCommand(WORD id, WORD code, HWND control) {
  if (code != BN_CLICKED) return FALSE;
  HWND dlg = Dialog();
  if (id == kDefaultButton) {
    OnDefault();
    return TRUE;
  }
  if (id == kLowLightBox) {
    StandardControl& low = Table()[kAutoExposurePriority];
    const bool on = camprop::ItemChecked(dlg, kLowLightBox);
    low.Value = on ? 1 : 0;
    low.Flags = on ? kControlFlagsAuto : kControlFlagsManual;
    SetControl(CameraControlSet(), kAutoExposurePriority, &low);
    return TRUE;
  }
  if (const Row* r = RowOfAutoBox(id)) {
    StandardControl& e = Table()[r->id];
    camprop::ClickAutoBox(dlg, r->row, &e);
    SetControl(CameraControlSet(), r->id, &e);
    return TRUE;
  }
  return FALSE;
}

void CDefaultPage2::OnDefault() {
  StandardControlTable& t = Table();
  HWND dlg = Dialog();
  for (const Row& r : kRows) {
    StandardControl& e = t[r.id];
    if (!e.Supported()) continue;
    if (r.id == kExposure) {
      // Exposure returns to automatic mode where the camera has it.
      DefaultLockingRow(CameraControlSet(), r.id, r.row, &e);
      continue;
    }
    const bool automatic = camprop::RestoreDefault(&e);
    if (e.Capabilities & camprop::kCapsAuto) camprop::CheckItem(dlg, r.row.autoBox, automatic);
    camprop::ShowSliderValue(dlg, r.row, e.Value);
    SetControl(CameraControlSet(), r.id, &e);
  }
  DefaultLowLight(kLowLightBox, &t[kAutoExposurePriority]);
}

// ---- commit and take-back -------------------------------------------------------------

void CDefaultPage2::OnApply() {
  if (ObjectCount() == 0) return;
  StandardControlTable& t = Table();
  for (const Row& r : kRows) t[r.id].Commit();
  t[kAutoExposurePriority].Commit();
}

void CDefaultPage2::OnDestroy() { TakeBack(); }

void CDefaultPage2::TakeBack() {
  StandardControlTable& t = Table();
  for (const Row& r : kRows) {
    StandardControl& e = t[r.id];
    if (!e.Changed()) continue;
    e.TakeBack(true);
    SetControl(CameraControlSet(), r.id, &e);
    camprop::ShowSliderValue(Dialog(), r.row, e.Value);
  }
  StandardControl& low = t[kAutoExposurePriority];
  if (low.Changed()) {
    low.TakeBack(true);
    SetControl(CameraControlSet(), kAutoExposurePriority, &low);
  }
}

}  // namespace z9
