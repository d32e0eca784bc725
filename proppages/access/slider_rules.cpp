#include "slider_rules.h"

#include <commctrl.h>

namespace z9::camprop {

int32_t SliderTarget(int code, int32_t position, int32_t thumb, int32_t minimum, int32_t maximum) {
  int64_t p = position;
  switch (code) {
    case kSliderLineLeft:
      p = static_cast<int64_t>(position) - 1;
      break;
    case kSliderLineRight:
      p = static_cast<int64_t>(position) + 1;
      break;
    case kSliderThumbPosition:
    case kSliderThumbTrack:
      p = thumb;
      break;
    case kSliderTop:
      p = maximum;
      break;
    case kSliderBottom:
      p = minimum;
      break;
    default:
      break;
  }
  if (p > maximum) p = maximum;
  if (p < minimum) p = minimum;
  return static_cast<int32_t>(p);
}

bool AutoBoxUsable(const SliderRow& row, int32_t capabilities) {
  if (row.autoLocksSlider) return (capabilities & (kCapsAuto | kCapsManual)) == (kCapsAuto | kCapsManual);
  return (capabilities & kCapsAuto) != 0;
}

void EnableItem(HWND dialog, int id, bool enable) {
  if (id == 0) return;
  if (HWND item = GetDlgItem(dialog, id)) EnableWindow(item, enable ? TRUE : FALSE);
}

void CheckItem(HWND dialog, int id, bool checked) {
  if (id != 0) CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool ItemChecked(HWND dialog, int id) { return id != 0 && IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void DisableRow(HWND dialog, const SliderRow& row) {
  EnableItem(dialog, row.label, false);
  EnableItem(dialog, row.slider, false);
  EnableItem(dialog, row.edit, false);
  EnableItem(dialog, row.autoBox, false);
}

void SetUpSliderRow(HWND dialog, const SliderRow& row, const StandardControl& entry, bool showRange) {
  if (!entry.Supported()) {
    DisableRow(dialog, row);
    return;
  }
  EnableItem(dialog, row.label, true);
  if (showRange && row.slider != 0) {
    SetSliderRange(dialog, row.slider, entry.Baseline.Minimum, entry.Baseline.Maximum, entry.Baseline.Step,
                   entry.Value);
    EnableItem(dialog, row.slider, true);
    if (row.edit != 0) {
      EnableItem(dialog, row.edit, true);
      SetDlgItemInt(dialog, row.edit, static_cast<UINT>(entry.Value), TRUE);
    }
  }
  if (row.autoBox != 0) {
    EnableItem(dialog, row.autoBox, AutoBoxUsable(row, entry.Capabilities));
    const bool automatic = entry.Flags == kControlFlagsAuto;
    CheckItem(dialog, row.autoBox, automatic);
    if (row.autoLocksSlider && automatic) EnableItem(dialog, row.slider, false);
  }
}

void SetSliderRange(HWND dialog, int sliderId, int32_t minimum, int32_t maximum, int32_t step, int32_t position) {
  HWND slider = GetDlgItem(dialog, sliderId);
  if (slider == nullptr) return;
  SendMessageA(slider, TBM_SETRANGEMIN, FALSE, minimum);
  SendMessageA(slider, TBM_SETRANGEMAX, TRUE, maximum);
  SendMessageA(slider, TBM_SETPAGESIZE, 0, step);
  // A track bar places its thumb only when the position changes: with a new
  // range and the same position (0 in -64..64, say) the thumb would stay where
  // the old range put it. Going through another position first makes the
  // control place the thumb for the new range.
  SendMessageA(slider, TBM_SETPOS, FALSE, position == minimum ? maximum : minimum);
  SendMessageA(slider, TBM_SETPOS, TRUE, position);
}

void ShowSliderValue(HWND dialog, const SliderRow& row, int32_t value) {
  if (row.edit != 0) SetDlgItemInt(dialog, row.edit, static_cast<UINT>(value), TRUE);
  if (row.slider != 0) SendDlgItemMessageA(dialog, row.slider, TBM_SETPOS, TRUE, value);
}

int32_t ScrollSliderInRange(HWND dialog, const SliderRow& row, int code, WORD thumb, int32_t minimum,
                            int32_t maximum) {
  const auto position = static_cast<int32_t>(SendDlgItemMessageA(dialog, row.slider, TBM_GETPOS, 0, 0));
  // The notification carries the thumb in 16 bits: signed for a range that
  // reaches below zero.
  const int32_t carried = minimum < 0 ? static_cast<int16_t>(thumb) : static_cast<int32_t>(thumb);
  const int32_t value = SliderTarget(code, position, carried, minimum, maximum);
  ShowSliderValue(dialog, row, value);
  return value;
}

int32_t ScrollSlider(HWND dialog, const SliderRow& row, int code, WORD thumb, StandardControl* entry) {
  entry->Value = ScrollSliderInRange(dialog, row, code, thumb, entry->Baseline.Minimum, entry->Baseline.Maximum);
  return entry->Value;
}

bool RestoreDefault(StandardControl* entry) {
  entry->Value = entry->Baseline.Default;
  entry->Flags = entry->Baseline.Flags;
  entry->Capabilities = entry->Baseline.Capabilities;
  if (entry->Capabilities & kCapsAuto)
    entry->Flags = (entry->Capabilities & kCapsAutoByDefault) ? kControlFlagsAuto : kControlFlagsManual;
  return entry->Flags == kControlFlagsAuto;
}

void ClickAutoBox(HWND dialog, const SliderRow& row, StandardControl* entry) {
  const bool automatic = ItemChecked(dialog, row.autoBox);
  entry->Flags = automatic ? kControlFlagsAuto : kControlFlagsManual;
  if (row.autoLocksSlider) EnableItem(dialog, row.slider, !automatic);
}

}  // namespace z9::camprop
