// The rules every page applies to its slider rows: how a row is set up from
// a control's record, where a scroll notification moves a slider, and what an
// auto box does.
#pragma once
#include <windows.h>

#include "control_tables.h"

namespace z9::camprop {

// Control ids of one row in a page's dialog; 0 for a part the row lacks.
struct SliderRow {
  int label;
  int slider;
  int edit;
  int autoBox;
  // White balance and exposure: the auto box needs both automatic and manual
  // mode, and a checked auto box disables the slider.
  bool autoLocksSlider;
};

// Notification codes of a horizontal track bar (WM_HSCROLL).
enum SliderCode : int {
  kSliderLineLeft = 0,
  kSliderLineRight = 1,
  kSliderThumbPosition = 4,
  kSliderThumbTrack = 5,
  kSliderTop = 6,
  kSliderBottom = 7,
};

// Where a slider at `position` goes for notification `code` (thumb: the
// position carried in the notification), clamped to minimum..maximum.
int32_t SliderTarget(int code, int32_t position, int32_t thumb, int32_t minimum, int32_t maximum);

// The automatic-mode bits of Capabilities.
constexpr int32_t kCapsAuto = 0x1;
constexpr int32_t kCapsManual = 0x2;
constexpr int32_t kCapsAutoByDefault = 0x4;

// The usual range test: a range is shown when Minimum or Maximum is non-zero.
inline bool HasRange(const ControlInfo& c) { return c.Minimum != 0 || c.Maximum != 0; }
// White balance shows its range when the read Value lies within it.
inline bool ValueInRange(const StandardControl& e) {
  return e.Baseline.Minimum <= e.Value && e.Value <= e.Baseline.Maximum;
}
// Whether the row's auto box may be used.
bool AutoBoxUsable(const SliderRow& row, int32_t capabilities);

void EnableItem(HWND dialog, int id, bool enable);
void CheckItem(HWND dialog, int id, bool checked);
bool ItemChecked(HWND dialog, int id);

// Disables the whole row (label, slider, edit box, auto box).
void DisableRow(HWND dialog, const SliderRow& row);

// Slider set-up: an unsupported control's row is disabled. Otherwise the label
// is enabled; when `showRange` the slider gets Minimum..Maximum, page size
// Step and position Value, and the edit box is enabled and shows Value; the
// auto box is enabled when automatic mode is possible and checked when Flags
// is 1 (for a slider-locking row the checked box also disables the slider).
void SetUpSliderRow(HWND dialog, const SliderRow& row, const StandardControl& entry, bool showRange);

// Gives a slider its range, page size and position.
void SetSliderRange(HWND dialog, int sliderId, int32_t minimum, int32_t maximum, int32_t step, int32_t position);

// Shows `value` in the row's edit box (decimal) and on its slider.
void ShowSliderValue(HWND dialog, const SliderRow& row, int32_t value);

// The slider rule for one WM_HSCROLL: reads the slider's position, moves it by
// `code`, shows the result and stores it as the entry's working Value. The
// caller then sends the SET.
int32_t ScrollSlider(HWND dialog, const SliderRow& row, int code, WORD thumb, StandardControl* entry);

// The slider rule for a control whose range is `minimum`..`maximum`: the
// target of the notification, shown in the row's edit box (when it has one)
// and on the slider. The caller stores it and sends the SET.
int32_t ScrollSliderInRange(HWND dialog, const SliderRow& row, int code, WORD thumb, int32_t minimum,
                            int32_t maximum);

// What the Default buttons do to a standard control: Value = Default, Flags
// and Capabilities from the baseline; where automatic mode is possible, Flags
// becomes automatic when that is the default mode and manual otherwise.
// Returns whether the control is now automatic.
bool RestoreDefault(StandardControl* entry);

// The auto box rule after a click on the row's auto box: Flags 1 when it is
// now checked, 2 when not; a slider-locking row also disables or enables its
// slider. The caller then sends the SET.
void ClickAutoBox(HWND dialog, const SliderRow& row, StandardControl* entry);

}  // namespace z9::camprop
