#include "image_control_page.h"

#include <commctrl.h>

#include <cstdio>
#include <initializer_list>
#include <new>

#include "access/slider_rules.h"
#include "page_clsids.h"
#include "page_mask.h"
#include "page_strings.h"
#include "resource.h"

namespace z9 {
namespace {

// Ids of the camera's own control set.
enum : ULONG { kPictureInPicture = 16, kEffects = 17, kFaceTracking = 18 };

// Controls of dialog 203.
enum : int {
  kFaceTrackingBox = 316,
  kEffectsBox = 373,
  kEffectsGroup = 390,
  kDefaultButton = 396,
  kPipBox = 388,
  kPipList = 389,
};

// Effect n (1..30) sits on button 326 + n; only effects 11..20 are shown.
constexpr int kEffectButtonBase = 326;
constexpr int kEffectCount = 30;
constexpr int kFirstShownEffect = 11;
constexpr int kLastShownEffect = 20;
// Buttons of effects 26..30 choose nothing.
constexpr int kLastChoosingEffect = 25;

// Face-tracking commands (Value of id 18).
enum : int32_t {
  kCommandZoomOut = 5,
  kCommandZoomIn = 6,
  kCommandReset = 7,
  kCommandReleased = 9,
};
constexpr int kNoButton = 7;

// The pad, in hit-testing order; the index is the button's command.
struct PadButton {
  int normal, pressed, grey;
};
constexpr PadButton kPad[] = {
    {386, 387, 366},  // centre
    {374, 378, 367},  // up
    {375, 379, 368},  // right
    {376, 380, 369},  // down
    {377, 381, 370},  // left
    {382, 384, 371},  // zoom out
    {383, 385, 372},  // zoom in
};
constexpr int kPadButtons = 7;
constexpr int kZoomInButton = 6;

constexpr DialogText kTexts[] = {
    {kFaceTrackingBox, "DlgString51"},
    {kEffectsBox, "DlgString52"},
    {kDefaultButton, "DlgString34"},
};

void ShowItem(HWND dialog, int id, bool show) {
  if (HWND item = GetDlgItem(dialog, id)) ShowWindow(item, show ? SW_SHOWNA : SW_HIDE);
}

}  // namespace

PageBase* CreatePropPage2() { return new (std::nothrow) CPropPage2(); }

CPropPage2::CPropPage2()
    : CameraPage(CLSID_PropPage2, IDD_PROPPAGE2, IDS_TITLE_PROPPAGE2, IDS_HELPFILE_PROPPAGE2, IDS_DOCSTRING_PROPPAGE2) {}

bool CPropPage2::Known(ULONG id) const { return ext_.Working(id).Supported == 1; }

// ---- display states -----------------------------------------------------------------

void CPropPage2::ShowPadGrey() {
  for (const PadButton& b : kPad) {
    ShowItem(Dialog(), b.normal, false);
    ShowItem(Dialog(), b.pressed, false);
    ShowItem(Dialog(), b.grey, true);
  }
}

// Only zoom in is usable before the pad is zoomed.
void CPropPage2::ShowPadNotZoomed() {
  for (int i = 0; i < kPadButtons; ++i) {
    ShowItem(Dialog(), kPad[i].normal, i == kZoomInButton);
    ShowItem(Dialog(), kPad[i].pressed, false);
    ShowItem(Dialog(), kPad[i].grey, i != kZoomInButton);
  }
}

void CPropPage2::ShowPadZoomed() {
  for (const PadButton& b : kPad) {
    ShowItem(Dialog(), b.pressed, false);
    ShowItem(Dialog(), b.grey, false);
    ShowItem(Dialog(), b.normal, true);
  }
}

void CPropPage2::EnableEffectButtons(bool enable) {
  for (int effect = kFirstShownEffect; effect <= kLastShownEffect; ++effect)
    camprop::EnableItem(Dialog(), kEffectButtonBase + effect, enable);
}

void CPropPage2::UncheckEffectButtons() {
  for (int effect = 1; effect <= kEffectCount; ++effect)
    camprop::CheckItem(Dialog(), kEffectButtonBase + effect, false);
}

void CPropPage2::ShowState(DisplayState state) {
  HWND dlg = Dialog();
  switch (state) {
    case kNotZoomed:
      ShowPadNotZoomed();
      UncheckEffectButtons();
      break;
    case kNoFaceTracking:
      ShowPadGrey();
      camprop::EnableItem(dlg, kFaceTrackingBox, false);
      break;
    case kFaceTrackingShown:
      ShowPadGrey();
      if (!effectsAbsent_) {
        camprop::CheckItem(dlg, kEffectsBox, false);
        camprop::EnableItem(dlg, kEffectsBox, false);
        UncheckEffectButtons();
        EnableEffectButtons(false);
      }
      break;
    case kFaceTrackingOff:
      ShowPadNotZoomed();
      if (!effectsAbsent_) {
        camprop::EnableItem(dlg, kEffectsBox, true);
        UncheckEffectButtons();
        EnableEffectButtons(false);
      }
      break;
    case kZoomed:
      ShowPadZoomed();
      if (!effectsAbsent_) EnableEffectButtons(false);
      break;
    case kNoEffects:
      ShowItem(dlg, kEffectsBox, false);
      ShowItem(dlg, kEffectsGroup, false);
      for (int effect = 1; effect <= kEffectCount; ++effect) ShowItem(dlg, kEffectButtonBase + effect, false);
      break;
    case kEffectsShown:
      EnableEffectButtons(true);
      if (!faceTrackingAbsent_) {
        camprop::CheckItem(dlg, kFaceTrackingBox, false);
        for (int id : {kFaceTrackingBox, kPipBox, kPipList}) camprop::EnableItem(dlg, id, false);
        ShowPadGrey();
      }
      break;
    case kEffectsOff:
      UncheckEffectButtons();
      EnableEffectButtons(false);
      if (!faceTrackingAbsent_) {
        for (int id : {kFaceTrackingBox, kPipBox, kPipList}) camprop::EnableItem(dlg, id, true);
        ShowPadNotZoomed();
        if (zoomed_) ShowPadZoomed();
      }
      break;
  }
}

// ---- initialisation ------------------------------------------------------------

BOOL CPropPage2::OnInitDialog() {
  hotButton_ = kNoButton;
  lastCommand_ = kNoButton;
  captured_ = false;
  releasedOnLoss_ = false;
  padMode_ = kPadUsable;
  zoomed_ = false;
  effectsOn_ = false;
  faceTrackingAbsent_ = false;
  effectsAbsent_ = false;
  PreparePageDialog(Dialog(), kMaskPropPage2);
  ext_.Clear();
  ShowState(kNotZoomed);

  InitFaceTracking();
  InitEffects();

  SetTexts();
  ext_.Commit();
  // Modes sent back while reading are not changes of the user.
  SetDirty(false);
  return TRUE;
}

void CPropPage2::InitFaceTracking() {
  HWND dlg = Dialog();
  ControlInfo& face = ext_.Working(kFaceTracking);
  if (!ReadExtControl(kFaceTracking, &face)) {
    faceTrackingAbsent_ = true;
    ShowState(kNoFaceTracking);
    return;
  }
  if (face.Capabilities == kCapsModes) {
    camprop::EnableItem(dlg, kFaceTrackingBox, true);
    if (face.Flags == kControlFlagsAuto) {
      padMode_ = kFaceTrackingOn;
      ShowState(kFaceTrackingShown);
      camprop::CheckItem(dlg, kFaceTrackingBox, true);
    } else {
      padMode_ = kPadUsable;
      ShowState(kFaceTrackingOff);
      if (face.Default != 0) {
        zoomed_ = true;
        ShowState(kZoomed);
      }
    }
    return;
  }
  // One mode only: the page puts the camera in it.
  camprop::EnableItem(dlg, kFaceTrackingBox, false);
  if (face.Capabilities & camprop::kCapsAuto) {
    padMode_ = kFaceTrackingOn;
    face.Flags = kControlFlagsAuto;
    ShowState(kFaceTrackingShown);
    camprop::CheckItem(dlg, kFaceTrackingBox, true);
  } else if (face.Capabilities & camprop::kCapsManual) {
    padMode_ = kPadUsable;
    face.Flags = kControlFlagsManual;
    if (face.Default != 0) {
      zoomed_ = true;
      ShowState(kZoomed);
    }
  }
  SetExtControl(kFaceTracking, face);
}

void CPropPage2::InitEffects() {
  HWND dlg = Dialog();
  ControlInfo& effects = ext_.Working(kEffects);
  if (!ReadExtControl(kEffects, &effects)) {
    effectsAbsent_ = true;
    ShowState(kNoEffects);
    return;
  }
  // With face tracking on, effects cannot be switched on: the box stays
  // disabled and the pad grey.
  const bool faceTrackingOn = padMode_ == kFaceTrackingOn;
  const bool bothModes = effects.Capabilities == kCapsModes;
  if (bothModes) {
    camprop::EnableItem(dlg, kEffectsBox, !faceTrackingOn);
    effectsOn_ = effects.Flags == kControlFlagsAuto && !faceTrackingOn;
  } else {
    camprop::EnableItem(dlg, kEffectsBox, false);
    effectsOn_ = (effects.Capabilities & camprop::kCapsAuto) != 0 && !faceTrackingOn;
    effects.Flags = effectsOn_ ? kControlFlagsAuto : kControlFlagsManual;
  }
  if (effectsOn_) {
    padMode_ = kEffectsOn;
    ShowState(kEffectsShown);
  } else if (faceTrackingOn) {
    ShowState(kFaceTrackingShown);
    // The camera may report an effect too; the page shows effects off, and
    // so must the camera, or the next command would send the effect back on.
    if (bothModes && effects.Flags == kControlFlagsAuto) {
      effects.Flags = kControlFlagsManual;
      SetExtControl(kEffects, effects);
    }
  } else {
    padMode_ = kPadUsable;
    ShowState(kEffectsOff);
  }
  if (!bothModes) SetExtControl(kEffects, effects);
  camprop::CheckItem(dlg, kEffectsBox, effectsOn_);
  if (effects.Value >= 1 && effects.Value <= kEffectCount)
    camprop::CheckItem(dlg, kEffectButtonBase + effects.Value, true);
}

void CPropPage2::SetTexts() {
  LoadPageStrings();
  SetDialogTexts(Dialog(), kTexts);
  // Effect n is labelled "DlgString<52 + n>".
  for (int effect = 1; effect <= kEffectCount; ++effect) {
    char key[16];
    std::snprintf(key, sizeof key, "DlgString%d", 52 + effect);
    SetDlgItemTextA(Dialog(), kEffectButtonBase + effect, PageString(key));
  }
}

// ---- commands ---------------------------------------------------------------------------

BOOL CPropPage2::OnCommand(WORD id, WORD code, HWND control) {
  HWND dlg = Dialog();
  if (id == kDefaultButton) {
    if (code == BN_CLICKED) OnDefault();
    return TRUE;
  }
  ControlInfo& face = ext_.Working(kFaceTracking);
  ControlInfo& effects = ext_.Working(kEffects);
  if (id == kFaceTrackingBox && code == BN_CLICKED) {
    face.Value = 0;
    if (camprop::ItemChecked(dlg, kFaceTrackingBox)) {
      ShowState(kFaceTrackingShown);
      face.Flags = kControlFlagsAuto;
      padMode_ = kFaceTrackingOn;
      zoomed_ = false;
    } else {
      ShowState(kFaceTrackingOff);
      face.Flags = kControlFlagsManual;
      padMode_ = kPadUsable;
    }
  } else if (id > kEffectButtonBase && id <= kEffectButtonBase + kEffectCount && code == BN_CLICKED) {
    const int effect = id - kEffectButtonBase;
    if (effect <= kLastChoosingEffect) {
      effects.Value = effect;
      if (!camprop::ItemChecked(dlg, kEffectsBox)) {
        effects.Value = 0;
        camprop::CheckItem(dlg, id, false);
      }
    }
  } else if (id == kEffectsBox && code == BN_CLICKED) {
    effects.Value = 0;
    if (camprop::ItemChecked(dlg, kEffectsBox)) {
      ShowState(kEffectsShown);
      effects.Flags = kControlFlagsAuto;
      padMode_ = kEffectsOn;
      effectsOn_ = true;
    } else {
      ShowState(kEffectsOff);
      effects.Flags = kControlFlagsManual;
      padMode_ = kPadUsable;
      effectsOn_ = false;
    }
  } else if ((id == kPipBox && code == BN_CLICKED) || (id == kPipList && code == CBN_SELCHANGE)) {
    ControlInfo& pip = ext_.Working(kPictureInPicture);
    pip.Flags = camprop::ItemChecked(dlg, kPipBox) ? kControlFlagsAuto : kControlFlagsManual;
    const LRESULT sel = SendDlgItemMessageA(dlg, kPipList, CB_GETCURSEL, 0, 0);
    pip.Value = sel == CB_ERR ? 0 : static_cast<int32_t>(sel);
  } else {
    return FALSE;
  }
  SendCommandRecords();
  return TRUE;
}

// Every command sends the effect and face-tracking records, in this order,
// then picture in picture -- each only when the camera gave it: the page
// never reads picture in picture, so that record never goes out.
void CPropPage2::SendCommandRecords() {
  for (ULONG id : {kEffects, kFaceTracking, kPictureInPicture})
    if (Known(id)) SetExtControl(id, ext_.Working(id));
  SetDirty(true);
}

void CPropPage2::OnDefault() {
  HWND dlg = Dialog();
  if (Known(kEffects)) {
    ControlInfo& effects = ext_.Working(kEffects);
    effects.Flags = kControlFlagsManual;
    effects.Value = 0;
    SetExtControl(kEffects, effects);
    padMode_ = kPadUsable;
    effectsOn_ = false;
    ShowState(kEffectsOff);
    camprop::CheckItem(dlg, kEffectsBox, false);
  }
  if (Known(kFaceTracking)) {
    ControlInfo& face = ext_.Working(kFaceTracking);
    face.Flags = kControlFlagsManual;
    face.Value = kCommandReset;
    SetExtControl(kFaceTracking, face);
    zoomed_ = false;
    padMode_ = kPadUsable;
    ShowState(kFaceTrackingOff);
    camprop::CheckItem(dlg, kFaceTrackingBox, false);
  }
}

// ---- the pad ------------------------------------------------------------------------------

BOOL CPropPage2::HandleOther(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) {
  const POINT client = {static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  switch (msg) {
    case WM_MOUSEMOVE:
      if (PadActive()) OnMouseMove(client);
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      releasedOnLoss_ = false;
      if (PadActive()) OnButtonDown(client);
      break;
    case WM_LBUTTONUP:
      if (captured_) {
        captured_ = false;
        ReleaseCapture();
      }
      if (releasedOnLoss_) {
        releasedOnLoss_ = false;
        break;
      }
      if (PadActive()) OnButtonUp();
      break;
    case WM_CAPTURECHANGED:
      // Another window took the mouse (a popup, Alt+Tab, another press).
      if (reinterpret_cast<HWND>(lp) != Dialog()) OnCaptureLost();
      break;
    case WM_CANCELMODE:
      // Giving the capture up sends WM_CAPTURECHANGED; the dialog's default
      // handling still runs.
      if (captured_) ReleaseCapture();
      return FALSE;
    default:
      return FALSE;
  }
  *result = 0;
  return TRUE;
}

void CPropPage2::OnCaptureLost() {
  if (!captured_) return;
  captured_ = false;
  releasedOnLoss_ = true;
  if (PadActive()) OnButtonUp();
}

// A frame closed while a pad button is held: the camera hears the release.
void CPropPage2::OnDestroy() {
  if (captured_) ReleaseCapture();  // captured_ is cleared when another window takes the mouse
  OnCaptureLost();
}

int CPropPage2::PadButtonAt(POINT client) const {
  POINT screen = client;
  ClientToScreen(Dialog(), &screen);
  for (int i = 0; i < kPadButtons; ++i) {
    RECT r = {};
    HWND item = GetDlgItem(Dialog(), kPad[i].normal);
    if (item != nullptr && GetWindowRect(item, &r) && PtInRect(&r, screen)) return i;
  }
  return kNoButton;
}

void CPropPage2::OnMouseMove(POINT client) {
  const int button = PadButtonAt(client);
  if (button != kNoButton) {
    hotButton_ = button;
    return;
  }
  // Off the pad: a zoomed pad hears once that the pointer left it.
  if (!zoomed_ || hotButton_ == kNoButton) return;
  ControlInfo& face = ext_.Working(kFaceTracking);
  if (face.Value == 0) {
    zoomed_ = false;
    ShowState(kNotZoomed);
  } else {
    ShowPadZoomed();
  }
  hotButton_ = kNoButton;
  face.Value = kCommandReleased;
  if (Known(kFaceTracking)) SetExtControl(kFaceTracking, face);
  SetDirty(true);
}

void CPropPage2::OnButtonDown(POINT client) {
  // The press acts on the button under the pointer, not on one the pointer
  // passed over earlier.
  hotButton_ = PadButtonAt(client);
  if (hotButton_ == kNoButton) return;
  HWND dlg = Dialog();
  // The release belongs to the pad even when the pointer leaves the page.
  SetCapture(dlg);
  captured_ = true;
  ControlInfo& face = ext_.Working(kFaceTracking);
  if (hotButton_ == kZoomInButton) {
    face.Value = kCommandZoomIn;
    ShowItem(dlg, kPad[kZoomInButton].normal, false);
    ShowItem(dlg, kPad[kZoomInButton].pressed, true);
    zoomed_ = true;
    lastCommand_ = kCommandZoomIn;
  } else if (zoomed_) {
    face.Value = hotButton_;
    ShowItem(dlg, kPad[hotButton_].normal, false);
    ShowItem(dlg, kPad[hotButton_].pressed, true);
    lastCommand_ = hotButton_;
  }
  if (Known(kFaceTracking)) SetExtControl(kFaceTracking, face);
  SetDirty(true);
}

void CPropPage2::OnButtonUp() {
  if (!zoomed_) return;
  ControlInfo& face = ext_.Working(kFaceTracking);
  if (lastCommand_ == kCommandZoomOut && Known(kFaceTracking) && SUCCEEDED(GetExtControl(kFaceTracking, &face)) &&
      face.Default == 0) {
    // Zoomed out to the first step: the pad is not zoomed any more.
    zoomed_ = false;
    ShowState(kNotZoomed);
  } else {
    ShowPadZoomed();
  }
  lastCommand_ = kNoButton;
  face.Value = kCommandReleased;
  if (Known(kFaceTracking)) SetExtControl(kFaceTracking, face);
  SetDirty(true);
}

// ---- commit --------------------------------------------------------------------------------

void CPropPage2::OnApply() {
  if (ObjectCount() == 0) return;
  ext_.Commit();
}

}  // namespace z9
