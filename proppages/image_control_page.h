// The "Image Control" page: face tracking, special effects and a digital
// pan/zoom pad drawn from icons. Face tracking, effects and the zoomed pad
// exclude one another; every press and release on the pad goes to the camera
// as a face-tracking command. Nothing is taken back when the page closes.
#pragma once
#include "access/control_tables.h"
#include "page_toolkit.h"

namespace z9 {

class CPropPage2 : public CameraPage {
 public:
  CPropPage2();

  BOOL OnInitDialog() override;
  BOOL OnCommand(WORD id, WORD code, HWND control) override;
  BOOL HandleOther(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) override;
  void OnDestroy() override;
  void OnApply() override;

  // What the pad is for (padMode).
  enum PadMode { kFaceTrackingOn = 0, kPadUsable = 1, kEffectsOn = 2 };

 private:
  bool Known(ULONG id) const;
  void InitFaceTracking();
  void InitEffects();
  void SetTexts();

  // The display states, applied by one routine.
  enum DisplayState {
    kNotZoomed = 0,
    kNoFaceTracking = 1,
    kFaceTrackingShown = 2,
    kFaceTrackingOff = 3,
    kZoomed = 4,
    kNoEffects = 5,
    kEffectsShown = 6,
    kEffectsOff = 7,
  };
  void ShowState(DisplayState state);
  void ShowPadGrey();
  void ShowPadNotZoomed();
  void ShowPadZoomed();
  void EnableEffectButtons(bool enable);
  void UncheckEffectButtons();

  // The pad button (command 0..6) whose screen rectangle holds `client`, a
  // point in the dialog's client area; kNoButton when none.
  int PadButtonAt(POINT client) const;
  void OnMouseMove(POINT client);
  void OnButtonDown(POINT client);
  void OnButtonUp();
  // A press whose mouse capture went elsewhere ends as if the button went up.
  void OnCaptureLost();
  // The pad works only with face tracking present and off, and effects off.
  bool PadActive() const { return padMode_ == kPadUsable && !effectsOn_ && !faceTrackingAbsent_; }

  void OnDefault();
  void SendCommandRecords();

  camprop::ExtControlTable ext_;
  int padMode_ = kPadUsable;
  bool zoomed_ = false;
  bool effectsOn_ = false;
  bool faceTrackingAbsent_ = false;
  bool effectsAbsent_ = false;
  int hotButton_ = 7;    // pad button under the pointer, 7 = none
  int lastCommand_ = 7;  // command of the last press on the pad
  bool captured_ = false;  // the mouse is captured between a press and its release
  // The capture was lost during a press and its release already sent: the
  // button's own release, should it still arrive, is not a second one.
  bool releasedOnLoss_ = false;
};

PageBase* CreatePropPage2();  // new object, one reference

}  // namespace z9
