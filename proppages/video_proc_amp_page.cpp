#include "video_proc_amp_page.h"

#include <commctrl.h>

#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <new>

#include "access/ks_interfaces.h"
#include "access/slider_rules.h"
#include "page_clsids.h"
#include "page_mask.h"
#include "page_strings.h"

namespace z9 {
namespace {

using camprop::CameraControlSet;
using camprop::ControlSet;
using camprop::ExtControlTable;
using camprop::SliderRow;
using camprop::StandardControl;
using camprop::StandardControlTable;
using camprop::VideoProcAmpSet;

constexpr UINT kDialogId = 116;
constexpr UINT kTitleId = 112;

// Controls of dialog 116.
enum : int {
  kGroupImage = 397,
  kGroupAuto = 404,
  kGroupBanding = 405,
  kGroupExtra = 406,
  kMirrorHorizontal = 411,
  kMirrorVertical = 412,
  kSnapshotLabel = 415,
  kSnapshotList = 414,
  kWhiteBalanceLabel = 269,
  kWhiteBalanceSlider = 270,
  kWhiteBalanceEdit = 271,
  kWhiteBalanceAuto = 272,
  kExposureLabel = 403,
  kExposureSlider = 400,
  kExposureEdit = 401,
  kExposureAuto = 402,
  kFrequency50 = 407,
  kFrequency60 = 408,
  kFrequencyOutdoor = 409,
  kBacklightBox = 276,
  kBacklightLabel = 273,
  kColorBox = 280,
  kColorLabel = 277,
  kLowLightBox = 399,
  kLowLightLabel = 410,
  kDefaultButton = 278,
};

// Video proc amp ids.
enum : ULONG {
  kBrightness = 0,
  kContrast = 1,
  kHue = 2,
  kSaturation = 3,
  kSharpness = 4,
  kGamma = 5,
  kColorEnable = 6,
  kWhiteBalance = 7,
  kBacklight = 8,
  kGain = 9,
  kPowerLine = 13,
};
// Camera control ids.
constexpr ULONG kExposure = 4;
// Ids of the camera's own control set.
enum : ULONG { kExtMirror = 2, kExtSnapshotSize = 3, kExtColorEnable = 15 };

constexpr int32_t kMirrorBits = 0x3;
constexpr int32_t kMirrorKeptBits = 0xC;
constexpr int32_t kSnapshotIndexBits = 0xF;
constexpr int32_t kSnapshotWriteBit = 0x100;
constexpr int32_t kColorOn = 0x1001;
constexpr int32_t kColorOff = 0x1000;

struct PictureRow {
  ULONG id;
  SliderRow row;
};
constexpr PictureRow kPictureRows[] = {
    {kBrightness, {245, 246, 247, 0, false}}, {kContrast, {249, 250, 251, 0, false}},
    {kHue, {253, 254, 255, 0, false}},        {kSaturation, {257, 258, 259, 0, false}},
    {kSharpness, {261, 262, 263, 0, false}},  {kGamma, {265, 266, 267, 0, false}},
    {kGain, {316, 313, 314, 0, false}},
};
constexpr SliderRow kWhiteBalanceRow = {kWhiteBalanceLabel, kWhiteBalanceSlider, kWhiteBalanceEdit, kWhiteBalanceAuto,
                                        true};
constexpr SliderRow kExposureRow = {kExposureLabel, kExposureSlider, kExposureEdit, kExposureAuto, true};
// Power-line frequency Value 0, 1, 2.
constexpr int kFrequencyButtons[] = {kFrequencyOutdoor, kFrequency50, kFrequency60};

// The order in which initialisation reads the video proc amp table.
constexpr ULONG kProcAmpReadOrder[] = {kBrightness, kContrast, kHue,       kSaturation, kSharpness,
                                       kGamma,      kWhiteBalance, kBacklight, kColorEnable, kGain};

constexpr DialogText kTexts[] = {
    {245, "DlgString25"}, {249, "DlgString26"}, {253, "DlgString27"}, {257, "DlgString28"}, {261, "DlgString29"},
    {265, "DlgString30"}, {269, "DlgString31"}, {273, "DlgString32"}, {277, "DlgString33"}, {278, "DlgString34"},
    {316, "DlgString45"}, {411, "DlgString11"}, {412, "DlgString12"}, {403, "DlgString38"}, {410, "DlgString49"},
    {409, "DlgString14"}, {407, "DlgString15"}, {408, "DlgString16"}, {397, "DlgString91"}, {404, "DlgString92"},
    {405, "DlgString93"}, {406, "DlgString94"}, {415, "DlgString95"},
};

// Snapshot sizes offered for the running stream's frame size: the first 4,
// 5, 7 or 10 entries.
constexpr const char* kSnapshotSizes[] = {"160x120",  "176x144",  "320x240",   "352x288",   "640x480",
                                          "1280x720", "1280x960", "1280x1024", "1600x1200", "2560x2048"};

int SnapshotSizeCount(int width, int height) {
  if (width <= 176 && height <= 144) return 4;
  if (width <= 352 && height <= 288) return 5;
  if (width <= 640 && height <= 480) return 7;
  return 10;
}

// The page class's tables: one per process, shared by every instance.
struct Tables {
  StandardControlTable procAmp;
  StandardControlTable camera;
  ExtControlTable ext;
};
Tables& SharedTables() { return ProcessWideTable<CDefaultPage1, Tables>(); }

void DebugLine(const char* format, int a, int b, int c = 0) {
  char line[128];
  std::snprintf(line, sizeof line, format, a, b, c);
  OutputDebugStringA(line);
}

bool Flagged(int32_t value, int32_t bit) { return (value & bit) != 0; }

}  // namespace

PageBase* CreateDefaultPage1() { return new (std::nothrow) CDefaultPage1(); }

CDefaultPage1::CDefaultPage1() : StandardControlPage(CLSID_DefaultPage1, kDialogId, kTitleId) {}

CDefaultPage1::~CDefaultPage1() = default;

// ---- initialisation ------------------------------------------------------------

BOOL CDefaultPage1::OnInitDialog() {
  PreparePageDialog(Dialog(), kMaskDefaultPage1);
  InitPictureRows();
  InitSwitches();
  InitFrequency();
  InitExtension();
  SetTexts();
  return TRUE;
}

void CDefaultPage1::InitPictureRows() {
  Tables& t = SharedTables();
  HWND dlg = Dialog();
  t.procAmp.Clear();
  for (ULONG id : kProcAmpReadOrder) GetControlRange(VideoProcAmpSet(), id, &t.procAmp[id]);
  t.camera.Clear();
  GetControlRange(CameraControlSet(), kExposure, &t.camera[kExposure]);
  GetControlRange(CameraControlSet(), kAutoExposurePriority, &t.camera[kAutoExposurePriority]);

  for (const PictureRow& r : kPictureRows) {
    const StandardControl& e = t.procAmp[r.id];
    camprop::SetUpSliderRow(dlg, r.row, e, camprop::HasRange(e.Baseline));
  }
  const StandardControl& wb = t.procAmp[kWhiteBalance];
  camprop::SetUpSliderRow(dlg, kWhiteBalanceRow, wb, camprop::ValueInRange(wb));
}

void CDefaultPage1::InitSwitches() {
  Tables& t = SharedTables();
  HWND dlg = Dialog();
  const StandardControl& backlight = t.procAmp[kBacklight];
  camprop::EnableItem(dlg, kBacklightLabel, backlight.Supported());
  camprop::EnableItem(dlg, kBacklightBox, backlight.Supported());
  camprop::CheckItem(dlg, kBacklightBox, backlight.Supported() && backlight.Value == 1);
}

void CDefaultPage1::InitFrequency() {
  Tables& t = SharedTables();
  HWND dlg = Dialog();
  StandardControl& freq = t.procAmp[kPowerLine];
  GetControlRange(VideoProcAmpSet(), kPowerLine, &freq);
  const bool supported = freq.Supported();
  for (int id : kFrequencyButtons) camprop::EnableItem(dlg, id, supported);
  if (supported) {
    frequencyDefault_ = freq.Baseline.Default;
    ShowFrequency(freq.Value);
  }

  ShowLowLight(kLowLightLabel, kLowLightBox, t.camera[kAutoExposurePriority]);

  const StandardControl& exposure = t.camera[kExposure];
  camprop::SetUpSliderRow(dlg, kExposureRow, exposure, camprop::HasRange(exposure.Baseline));
}

void CDefaultPage1::InitExtension() {
  Tables& t = SharedTables();
  HWND dlg = Dialog();
  t.ext.ClearWorking();

  ControlInfo& mirror = t.ext.Working(kExtMirror);
  const bool mirrorOk = ReadExtControl(kExtMirror, &mirror);
  camprop::EnableItem(dlg, kMirrorHorizontal, mirrorOk);
  camprop::EnableItem(dlg, kMirrorVertical, mirrorOk);
  if (mirrorOk) {
    camprop::CheckItem(dlg, kMirrorHorizontal, Flagged(mirror.Value, 0x1));
    camprop::CheckItem(dlg, kMirrorVertical, Flagged(mirror.Value, 0x2));
  }

  ControlInfo& snapshot = t.ext.Working(kExtSnapshotSize);
  const bool snapshotOk = ReadExtControl(kExtSnapshotSize, &snapshot);
  camprop::EnableItem(dlg, kSnapshotList, snapshotOk);
  camprop::EnableItem(dlg, kSnapshotLabel, snapshotOk);
  if (snapshotOk) {
    int type = 0, width = 0, height = 0;
    GetStreamInfo(&type, &width, &height);
    DebugLine("StreamInfo: ST[%d], [%d, %d]", type, width, height);
    DebugLine("ValInfo: [%d], [%d]", snapshot.Value & kSnapshotIndexBits, snapshot.Value);
    FillSnapshotSizes(width, height);
    SendDlgItemMessageA(dlg, kSnapshotList, CB_SETCURSEL, static_cast<WPARAM>(snapshot.Value & kSnapshotIndexBits),
                        0);
  }

  ControlInfo& color = t.ext.Working(kExtColorEnable);
  const bool colorOk = ReadExtControl(kExtColorEnable, &color);
  camprop::EnableItem(dlg, kColorLabel, colorOk);
  camprop::EnableItem(dlg, kColorBox, colorOk);
  if (colorOk) {
    camprop::CheckItem(dlg, kColorBox, false);
    if ((color.Capabilities & kCapsModes) != 0) {
      camprop::EnableItem(dlg, kColorBox, true);
      camprop::CheckItem(dlg, kColorBox, color.Flags == kControlFlagsAuto);
    }
  }

  t.ext.Commit();
}

void CDefaultPage1::SetTexts() {
  LoadPageStrings();
  SetDialogTexts(Dialog(), kTexts);
}

void CDefaultPage1::ShowFrequency(int32_t value) {
  const bool known = value >= 0 && value < static_cast<int32_t>(std::size(kFrequencyButtons));
  CheckRadio(Dialog(), kFrequencyButtons, known ? kFrequencyButtons[value] : 0);
}

void CDefaultPage1::FillSnapshotSizes(int width, int height) {
  HWND list = GetDlgItem(Dialog(), kSnapshotList);
  if (!list) return;
  SendMessageA(list, CB_RESETCONTENT, 0, 0);
  const int count = SnapshotSizeCount(width, height);
  for (int i = 0; i < count; ++i) SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kSnapshotSizes[i]));
}

// ---- user actions -------------------------------------------------------------------

BOOL CDefaultPage1::OnHScroll(WORD code, WORD thumb, HWND control) {
  if (!control) return FALSE;
  Tables& t = SharedTables();
  const int id = GetDlgCtrlID(control);
  const GUID* set = &VideoProcAmpSet();
  ULONG property = 0;
  const SliderRow* row = nullptr;
  StandardControl* entry = nullptr;
  for (const PictureRow& r : kPictureRows) {
    if (r.row.slider == id) {
      property = r.id;
      row = &r.row;
      entry = &t.procAmp[r.id];
    }
  }
  if (id == kWhiteBalanceSlider) {
    property = kWhiteBalance;
    row = &kWhiteBalanceRow;
    entry = &t.procAmp[kWhiteBalance];
  } else if (id == kExposureSlider) {
    set = &CameraControlSet();
    property = kExposure;
    row = &kExposureRow;
    entry = &t.camera[kExposure];
  }
  if (!entry) return FALSE;
  camprop::ScrollSlider(Dialog(), *row, code, thumb, entry);
  SetControl(*set, property, entry);
  return TRUE;
}

BOOL CDefaultPage1::OnCommand(WORD id, WORD code, HWND control) {
  Tables& t = SharedTables();
  HWND dlg = Dialog();
  if (id == kSnapshotList) {
    if (code != CBN_SELCHANGE) return FALSE;
    const LRESULT sel = SendDlgItemMessageA(dlg, kSnapshotList, CB_GETCURSEL, 0, 0);
    if (sel == CB_ERR) return TRUE;
    ControlInfo& snapshot = t.ext.Working(kExtSnapshotSize);
    snapshot.Value = static_cast<int32_t>(sel) | kSnapshotWriteBit;
    SetExtControl(kExtSnapshotSize, snapshot);
    return TRUE;
  }
  if (code != BN_CLICKED) return FALSE;
  switch (id) {
    case kDefaultButton:
      OnDefault();
      return TRUE;
    case kWhiteBalanceAuto:
      camprop::ClickAutoBox(dlg, kWhiteBalanceRow, &t.procAmp[kWhiteBalance]);
      SetControl(VideoProcAmpSet(), kWhiteBalance, &t.procAmp[kWhiteBalance]);
      return TRUE;
    case kExposureAuto:
      camprop::ClickAutoBox(dlg, kExposureRow, &t.camera[kExposure]);
      SetControl(CameraControlSet(), kExposure, &t.camera[kExposure]);
      return TRUE;
    case kBacklightBox: {
      StandardControl& e = t.procAmp[kBacklight];
      e.Value = camprop::ItemChecked(dlg, kBacklightBox) ? 1 : 0;
      SetControl(VideoProcAmpSet(), kBacklight, &e);
      return TRUE;
    }
    case kColorBox: {
      ControlInfo& color = t.ext.Working(kExtColorEnable);
      const bool on = camprop::ItemChecked(dlg, kColorBox);
      color.Value = on ? kColorOn : kColorOff;
      color.Flags = on ? kControlFlagsAuto : kControlFlagsManual;
      SetExtControl(kExtColorEnable, color);
      return TRUE;
    }
    case kLowLightBox: {
      StandardControl& e = t.camera[kAutoExposurePriority];
      const bool on = camprop::ItemChecked(dlg, kLowLightBox);
      e.Value = on ? 1 : 0;
      e.Flags = on ? kControlFlagsAuto : kControlFlagsManual;
      SetControl(CameraControlSet(), kAutoExposurePriority, &e);
      return TRUE;
    }
    case kFrequencyOutdoor:
      OnFrequency(0, kFrequencyOutdoor);
      return TRUE;
    case kFrequency50:
      OnFrequency(1, kFrequency50);
      return TRUE;
    case kFrequency60:
      OnFrequency(2, kFrequency60);
      return TRUE;
    case kMirrorHorizontal:
      OnMirrorBit(0x1, kMirrorHorizontal);
      return TRUE;
    case kMirrorVertical:
      OnMirrorBit(0x2, kMirrorVertical);
      return TRUE;
    default:
      return FALSE;
  }
}

void CDefaultPage1::OnFrequency(int32_t value, int button) {
  StandardControl& freq = SharedTables().procAmp[kPowerLine];
  if (freq.Value == value) return;
  freq.Value = value;
  SetControl(VideoProcAmpSet(), kPowerLine, &freq);
  CheckRadio(Dialog(), kFrequencyButtons, button);
}

void CDefaultPage1::OnMirrorBit(int32_t bit, int box) {
  ControlInfo& mirror = SharedTables().ext.Working(kExtMirror);
  GetExtControl(kExtMirror, &mirror);
  mirror.Value ^= bit;
  SetExtControl(kExtMirror, mirror);
  camprop::CheckItem(Dialog(), box, Flagged(mirror.Value, bit));
}

void CDefaultPage1::OnDefault() {
  Tables& t = SharedTables();
  HWND dlg = Dialog();

  for (const PictureRow& r : kPictureRows) {
    StandardControl& e = t.procAmp[r.id];
    if (!e.Supported()) continue;
    camprop::RestoreDefault(&e);
    camprop::ShowSliderValue(dlg, r.row, e.Value);
    SetControl(VideoProcAmpSet(), r.id, &e);
  }

  // White balance and exposure return to automatic mode where the camera
  // has it.
  DefaultLockingRow(VideoProcAmpSet(), kWhiteBalance, kWhiteBalanceRow, &t.procAmp[kWhiteBalance]);

  StandardControl& backlight = t.procAmp[kBacklight];
  if (backlight.Supported()) {
    backlight.Value = backlight.Baseline.Default;
    backlight.Flags = backlight.Baseline.Flags;
    backlight.Capabilities = backlight.Baseline.Capabilities;
    camprop::CheckItem(dlg, kBacklightBox, backlight.Value == 1);
    SetControl(VideoProcAmpSet(), kBacklight, &backlight);
  }

  StandardControl& colorAmp = t.procAmp[kColorEnable];
  if (colorAmp.Supported()) {
    colorAmp.Value = colorAmp.Baseline.Default;
    colorAmp.Flags = colorAmp.Baseline.Flags;
    colorAmp.Capabilities = colorAmp.Baseline.Capabilities;
    camprop::CheckItem(dlg, kColorBox, colorAmp.Value == 1);
    SetControl(VideoProcAmpSet(), kColorEnable, &colorAmp);
  }

  // The power-line frequency goes out whether or not it is supported.
  StandardControl& freq = t.procAmp[kPowerLine];
  freq.Baseline.Default = frequencyDefault_;
  freq.Value = frequencyDefault_;
  ShowFrequency(freq.Value);
  SetControl(VideoProcAmpSet(), kPowerLine, &freq);

  DefaultLowLight(kLowLightBox, &t.camera[kAutoExposurePriority]);
  DefaultLockingRow(CameraControlSet(), kExposure, kExposureRow, &t.camera[kExposure]);

  ControlInfo& mirror = t.ext.Working(kExtMirror);
  if (mirror.Supported == 1) {
    GetExtControl(kExtMirror, &mirror);
    mirror.Value = (mirror.Value & kMirrorKeptBits) + mirror.Default;
    if (SUCCEEDED(SetExtControl(kExtMirror, mirror))) {
      camprop::CheckItem(dlg, kMirrorHorizontal, Flagged(mirror.Value, 0x1));
      camprop::CheckItem(dlg, kMirrorVertical, Flagged(mirror.Value, 0x2));
    }
  }

  ControlInfo& color = t.ext.Working(kExtColorEnable);
  if (color.Supported == 1) {
    color.Value = color.Default;
    if (color.Capabilities & kCapsModes) {
      const bool on = color.Default == kColorOn;
      color.Flags = on ? kControlFlagsAuto : kControlFlagsManual;
      camprop::CheckItem(dlg, kColorBox, on);
    }
    SetExtControl(kExtColorEnable, color);
  }
  // The snapshot size keeps its value.
}

// ---- commit and take-back -------------------------------------------------------------

void CDefaultPage1::OnApply() {
  if (ObjectCount() == 0) return;
  Tables& t = SharedTables();
  for (ULONG id = 0; id <= kGain; ++id) t.procAmp[id].Commit();
  t.procAmp[kPowerLine].Commit();
  t.camera[kExposure].Commit();
  t.camera[kAutoExposurePriority].Commit();
  t.ext.Commit();
}

void CDefaultPage1::OnDestroy() { TakeBack(); }

void CDefaultPage1::TakeBack() {
  Tables& t = SharedTables();
  HWND dlg = Dialog();
  for (ULONG id = 0; id <= kGain; ++id) {
    StandardControl& e = t.procAmp[id];
    if (!e.Changed()) continue;
    e.TakeBack(false);
    SetControl(VideoProcAmpSet(), id, &e);
    for (const PictureRow& r : kPictureRows)
      if (r.id == id) camprop::ShowSliderValue(dlg, r.row, e.Value);
    if (id == kWhiteBalance) camprop::ShowSliderValue(dlg, kWhiteBalanceRow, e.Value);
    if (id == kBacklight) camprop::CheckItem(dlg, kBacklightBox, e.Value == 1);
  }
  StandardControl& freq = t.procAmp[kPowerLine];
  if (freq.Changed()) {
    freq.TakeBack(true);
    SetControl(VideoProcAmpSet(), kPowerLine, &freq);
    ShowFrequency(freq.Value);
  }
  for (ULONG id : {kExposure, kAutoExposurePriority}) {
    StandardControl& e = t.camera[id];
    if (!e.Changed()) continue;
    e.TakeBack(true);
    SetControl(CameraControlSet(), id, &e);
    if (id == kExposure) camprop::ShowSliderValue(dlg, kExposureRow, e.Value);
  }
  // The camera's own controls go back to what was read, unless the read
  // failed: a record that never came from the camera is not sent to it.
  for (ULONG id : {kExtMirror, kExtSnapshotSize, kExtColorEnable}) {
    const ControlInfo& baseline = t.ext.Baseline(id);
    if (baseline.Supported == 1) SetExtControl(id, baseline);
  }
}

}  // namespace z9
