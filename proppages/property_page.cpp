#include "property_page.h"

#include <commctrl.h>

#include <initializer_list>
#include <new>

#include "access/slider_rules.h"
#include "page_clsids.h"
#include "page_mask.h"
#include "page_strings.h"
#include "resource.h"
#include "restart_windows.h"
#include "settings.h"

namespace z9 {
namespace {

// Ids of the camera's own control set.
enum : ULONG {
  kEnvironment = 0,
  kFrequency = 1,
  kRotation = 2,
  kSnapshotSize = 3,
  kRedGain = 4,
  kGreenGain = 5,
  kBlueGain = 6,
  kSelectiveSuspend = 7,
};

// Controls of dialog 106.
enum : int {
  kAutoWhiteBalanceBox = 236,
  kEnvironmentFirst = 401,  // 401 Auto, 402 Daylight, 403 Tungsten, 404 Fluorescent: Value 0..3
  kFrequencyFirst = 411,    // 411 off, 412 50 Hz, 413 60 Hz: Value 0..2
  kRotationHorizontal = 421,
  kRotationVertical = 422,
  kSnapshotFirst = 431,     // 431..434: Value 0..3
  kResetButton = 450,
  kSelectiveSuspendBox = 244,
};
constexpr int kEnvironmentButtons = 4;
constexpr int kFrequencyButtons = 3;
constexpr int kSnapshotButtons = 4;

struct Gain {
  ULONG id;
  int label;
  int slider;
};
constexpr Gain kGains[] = {{kRedGain, 238, 325}, {kGreenGain, 240, 326}, {kBlueGain, 242, 327}};

constexpr int32_t kRotationBits = 0x3;
constexpr int32_t kRotationKeptBits = 0xC;
// Only a 640-wide stream offers the snapshot sizes of this page.
constexpr int kSnapshotStreamWidth = 640;

constexpr DialogText kTexts[] = {
    {236, "DlgString0"},  {400, "DlgString1"},  {401, "DlgString2"},  {403, "DlgString3"},  {402, "DlgString4"},
    {404, "DlgString5"},  {243, "DlgString6"},  {238, "DlgString7"},  {240, "DlgString8"},  {242, "DlgString9"},
    {420, "DlgString10"}, {421, "DlgString11"}, {422, "DlgString12"}, {410, "DlgString13"}, {411, "DlgString14"},
    {412, "DlgString15"}, {413, "DlgString16"}, {430, "DlgString17"}, {431, "DlgString18"}, {432, "DlgString19"},
    {433, "DlgString20"}, {434, "DlgString21"}, {244, "DlgString22"}, {450, "DlgString23"},
};

}  // namespace

PageBase* CreatePropPage1() { return new (std::nothrow) CPropPage1(); }

CPropPage1::CPropPage1()
    : CameraPage(CLSID_PropPage1, IDD_PROPPAGE1, IDS_TITLE_PROPPAGE1, IDS_HELPFILE_PROPPAGE1, IDS_DOCSTRING_PROPPAGE1) {}

bool CPropPage1::Known(ULONG id) const { return ext_.Baseline(id).Supported == 1; }

// ---- initialisation ------------------------------------------------------------

BOOL CPropPage1::OnInitDialog() {
  PreparePageDialog(Dialog(), kMaskPropPage1);
  DWORD flip = 0;
  ReadSettingDword("DefaultFlip", &flip);
  // Only the two orientation bits: anything else would leak into the bits
  // the camera carries through unchanged.
  defaultFlip_ = flip & kRotationBits;
  ext_.Clear();
  autoWhiteBalance_ = false;
  autoBoxUsable_ = false;

  InitEnvironment();
  InitChoices();
  InitGains();

  HWND dlg = Dialog();
  camprop::EnableItem(dlg, kAutoWhiteBalanceBox, autoBoxUsable_);
  camprop::CheckItem(dlg, kAutoWhiteBalanceBox, autoWhiteBalance_);

  ControlInfo& suspend = ext_.Working(kSelectiveSuspend);
  const bool suspendOk = ReadExtControl(kSelectiveSuspend, &suspend);
  camprop::EnableItem(dlg, kSelectiveSuspendBox, suspendOk);
  camprop::CheckItem(dlg, kSelectiveSuspendBox, suspendOk && suspend.Value != 0);

  LoadPageStrings();
  SetDialogTexts(dlg, kTexts);
  ext_.Commit();
  // Sending a forced white-balance mode back is part of reading, not a change.
  SetDirty(false);
  return TRUE;
}

void CPropPage1::InitEnvironment() {
  ControlInfo& env = ext_.Working(kEnvironment);
  if (!ReadExtControl(kEnvironment, &env)) {
    EnableEnvironment(false);
    return;
  }
  if (env.Capabilities == (camprop::kCapsAuto | camprop::kCapsManual)) {
    autoBoxUsable_ = true;
    autoWhiteBalance_ = env.Flags == kControlFlagsAuto;
  } else {
    // One mode only: the page puts the camera in it.
    if (env.Capabilities & camprop::kCapsAuto) {
      autoWhiteBalance_ = true;
      env.Flags = kControlFlagsAuto;
    } else if (env.Capabilities & camprop::kCapsManual) {
      env.Flags = kControlFlagsManual;
    }
    SetExtControl(kEnvironment, env);
  }
  EnableEnvironment(autoWhiteBalance_);
  ShowChoice(kEnvironmentFirst, kEnvironmentButtons, env.Value);
}

void CPropPage1::InitChoices() {
  HWND dlg = Dialog();
  ControlInfo& freq = ext_.Working(kFrequency);
  const bool freqOk = ReadExtControl(kFrequency, &freq);
  EnableRun(dlg, kFrequencyFirst, kFrequencyButtons, freqOk);
  if (freqOk) ShowChoice(kFrequencyFirst, kFrequencyButtons, freq.Value);

  ControlInfo& rotation = ext_.Working(kRotation);
  const bool rotationOk = ReadExtControl(kRotation, &rotation);
  camprop::EnableItem(dlg, kRotationHorizontal, rotationOk);
  camprop::EnableItem(dlg, kRotationVertical, rotationOk);
  if (rotationOk) ShowRotation(rotation.Value);

  ControlInfo& snapshot = ext_.Working(kSnapshotSize);
  const bool snapshotOk = ReadExtControl(kSnapshotSize, &snapshot);
  bool usable = false;
  if (snapshotOk) {
    // A failed stream query answers type 0: no stream, so no sizes.
    int type = 0, width = 0, height = 0;
    GetStreamInfo(&type, &width, &height);
    usable = type != 0 && width == kSnapshotStreamWidth;
    ShowChoice(kSnapshotFirst, kSnapshotButtons, snapshot.Value);
  }
  EnableRun(dlg, kSnapshotFirst, kSnapshotButtons, usable);
}

void CPropPage1::InitGains() {
  HWND dlg = Dialog();
  for (const Gain& g : kGains) {
    ControlInfo& gain = ext_.Working(g.id);
    if (!ReadExtControl(g.id, &gain)) {
      camprop::EnableItem(dlg, g.slider, false);
      continue;
    }
    camprop::SetSliderRange(dlg, g.slider, gain.Minimum, gain.Maximum, gain.Step, gain.Value);
    camprop::EnableItem(dlg, g.slider, !autoWhiteBalance_);
  }
}

void CPropPage1::ShowChoice(int firstButton, int buttons, int32_t value) {
  CheckRadioRun(Dialog(), firstButton, buttons, value);
}

// The boxes show the flip relative to the installed orientation.
void CPropPage1::ShowRotation(int32_t value) {
  const int32_t relative = (value & kRotationBits) ^ static_cast<int32_t>(defaultFlip_);
  camprop::CheckItem(Dialog(), kRotationHorizontal, (relative & 0x1) != 0);
  camprop::CheckItem(Dialog(), kRotationVertical, (relative & 0x2) != 0);
}

void CPropPage1::EnableEnvironment(bool enable) {
  EnableRun(Dialog(), kEnvironmentFirst, kEnvironmentButtons, enable);
}

// ---- user actions -------------------------------------------------------------------

BOOL CPropPage1::OnHScroll(WORD code, WORD thumb, HWND control) {
  if (!control) return FALSE;
  const int id = GetDlgCtrlID(control);
  for (const Gain& g : kGains) {
    if (g.slider != id) continue;
    ControlInfo& gain = ext_.Working(g.id);
    const camprop::SliderRow row = {g.label, g.slider, 0, 0, false};
    gain.Value = camprop::ScrollSliderInRange(Dialog(), row, code, thumb, gain.Minimum, gain.Maximum);
    SetExtControl(g.id, gain);
    return TRUE;
  }
  return FALSE;
}

BOOL CPropPage1::OnCommand(WORD id, WORD code, HWND control) {
  if (code != BN_CLICKED) return FALSE;
  if (id >= kEnvironmentFirst && id < kEnvironmentFirst + kEnvironmentButtons) {
    OnChoice(kEnvironment, kEnvironmentFirst, kEnvironmentButtons, id - kEnvironmentFirst);
    return TRUE;
  }
  if (id >= kFrequencyFirst && id < kFrequencyFirst + kFrequencyButtons) {
    OnChoice(kFrequency, kFrequencyFirst, kFrequencyButtons, id - kFrequencyFirst);
    return TRUE;
  }
  if (id >= kSnapshotFirst && id < kSnapshotFirst + kSnapshotButtons) {
    OnChoice(kSnapshotSize, kSnapshotFirst, kSnapshotButtons, id - kSnapshotFirst);
    return TRUE;
  }
  switch (id) {
    case kRotationHorizontal:
      OnRotation(0x1, kRotationHorizontal);
      return TRUE;
    case kRotationVertical:
      OnRotation(0x2, kRotationVertical);
      return TRUE;
    case kAutoWhiteBalanceBox:
      OnAutoWhiteBalance();
      return TRUE;
    case kSelectiveSuspendBox:
      OnSelectiveSuspend();
      return TRUE;
    case kResetButton:
      OnReset();
      return TRUE;
    default:
      return FALSE;
  }
}

void CPropPage1::OnChoice(ULONG id, int firstButton, int buttons, int32_t value) {
  ControlInfo& record = ext_.Working(id);
  if (record.Value == value) return;
  record.Value = value;
  SetExtControl(id, record);
  ShowChoice(firstButton, buttons, value);
}

void CPropPage1::OnRotation(int32_t bit, int box) {
  ControlInfo& rotation = ext_.Working(kRotation);
  GetExtControl(kRotation, &rotation);
  // The box shows the state after the toggle, relative to the installed one.
  const bool checked = ((rotation.Value ^ static_cast<int32_t>(defaultFlip_)) & bit) == 0;
  camprop::CheckItem(Dialog(), box, checked);
  rotation.Value ^= bit;
  SetExtControl(kRotation, rotation);
}

void CPropPage1::OnAutoWhiteBalance() {
  HWND dlg = Dialog();
  const bool automatic = camprop::ItemChecked(dlg, kAutoWhiteBalanceBox);
  autoWhiteBalance_ = automatic;
  ControlInfo& env = ext_.Working(kEnvironment);
  int32_t before[3] = {};
  for (size_t i = 0; i < 3; ++i) before[i] = ext_.Working(kGains[i].id).Value;
  if (automatic) {
    EnableEnvironment(true);
    for (const Gain& g : kGains) {
      camprop::EnableItem(dlg, g.slider, false);
      camprop::EnableItem(dlg, g.label, false);
    }
    env.Flags = kControlFlagsAuto;
  } else {
    for (const Gain& g : kGains) {
      ControlInfo& gain = ext_.Working(g.id);
      if (gain.Supported != 1) continue;
      gain.Flags = kControlFlagsAuto;
      camprop::EnableItem(dlg, g.slider, true);
      camprop::EnableItem(dlg, g.label, true);
      SendDlgItemMessageA(dlg, g.slider, TBM_SETPOS, TRUE, gain.Value);
    }
    EnableEnvironment(false);
    env.Flags = kControlFlagsManual;
  }
  if (Known(kEnvironment)) SetExtControl(kEnvironment, env);
  for (const Gain& g : kGains)
    if (Known(g.id)) SetExtControl(g.id, ext_.Working(g.id));
  if (!automatic) {
    // Leaving automatic mode may move the gains on the camera: the user's
    // values go back to it.
    for (size_t i = 0; i < 3; ++i) {
      const ULONG id = kGains[i].id;
      if (!Known(id)) continue;
      ControlInfo& gain = ext_.Working(id);
      if (FAILED(GetExtControl(id, &gain))) continue;
      if (gain.Value != before[i]) {
        gain.Value = before[i];
        SetExtControl(id, gain);
      }
    }
  }
  SetDirty(true);
}

void CPropPage1::OnSelectiveSuspend() {
  HWND dlg = Dialog();
  ControlInfo& suspend = ext_.Working(kSelectiveSuspend);
  if (FAILED(GetExtControl(kSelectiveSuspend, &suspend))) {
    // The box shows the camera's setting, not the click.
    camprop::CheckItem(dlg, kSelectiveSuspendBox, suspend.Value != 0);
    return;
  }
  suspend.Value = suspend.Value == 0 ? 1 : 0;
  camprop::CheckItem(dlg, kSelectiveSuspendBox, suspend.Value != 0);
  if (FAILED(SetExtControl(kSelectiveSuspend, suspend))) return;
  if (MessageBoxA(dlg, PageString("MsgString0"), PageString("MsgCaption0"), MB_YESNO | MB_ICONQUESTION) == IDYES)
    RestartWindows(dlg);
}

void CPropPage1::OnReset() {
  HWND dlg = Dialog();
  // Each step goes out on its own; its controls change only when the camera
  // took it. A record the camera never gave is not sent.
  if (Known(kEnvironment)) {
    ControlInfo& env = ext_.Working(kEnvironment);
    env.Value = env.Default;
    if (SUCCEEDED(SetExtControl(kEnvironment, env))) ShowChoice(kEnvironmentFirst, kEnvironmentButtons, env.Value);
  }
  if (Known(kFrequency)) {
    ControlInfo& freq = ext_.Working(kFrequency);
    freq.Value = freq.Default;
    if (SUCCEEDED(SetExtControl(kFrequency, freq))) ShowChoice(kFrequencyFirst, kFrequencyButtons, freq.Value);
  }
  if (Known(kRotation)) {
    ControlInfo& rotation = ext_.Working(kRotation);
    GetExtControl(kRotation, &rotation);
    rotation.Value = (rotation.Value & kRotationKeptBits) + static_cast<int32_t>(defaultFlip_);
    if (SUCCEEDED(SetExtControl(kRotation, rotation))) ShowRotation(rotation.Value);
  }
  if (Known(kSnapshotSize)) {
    ControlInfo& snapshot = ext_.Working(kSnapshotSize);
    snapshot.Value = snapshot.Default;
    if (SUCCEEDED(SetExtControl(kSnapshotSize, snapshot)))
      ShowChoice(kSnapshotFirst, kSnapshotButtons, snapshot.Value);
  }
  const ControlInfo& env = ext_.Working(kEnvironment);
  for (const Gain& g : kGains) {
    if (!Known(g.id)) continue;
    ControlInfo& gain = ext_.Working(g.id);
    gain.Value = gain.Default;
    if (FAILED(SetExtControl(g.id, gain))) continue;
    if (gain.Supported != 1 || (env.Capabilities & camprop::kCapsManual) == 0) continue;
    SendDlgItemMessageA(dlg, g.slider, TBM_SETPOS, TRUE, gain.Value);
    const bool manual = env.Flags == kControlFlagsManual;
    camprop::EnableItem(dlg, g.slider, manual);
    camprop::EnableItem(dlg, g.label, manual);
  }
  // The white-balance mode and selective suspend stay as they are.
}

// ---- commit and take-back -------------------------------------------------------------

void CPropPage1::OnApply() {
  if (ObjectCount() == 0) return;
  ext_.Commit();
}

void CPropPage1::OnDestroy() {
  // Everything but the frequency goes back to the last commit. Records the
  // camera never gave (ids 8 and up among them) are not sent.
  for (ULONG id : {kEnvironment, kRotation, kSnapshotSize, kRedGain, kGreenGain, kBlueGain, kSelectiveSuspend})
    if (Known(id)) SetExtControl(id, ext_.Baseline(id));
}

}  // namespace z9
