// The frame-tab mask: the settings value "PropertyPage" lets the installation
// hide some of the property frame's tabs. Bits 8 to 15 are a marker that
// selects which page class acts on the mask, bits 0 to 7 say which of the
// frame's last tabs stay (bit k-1 clear: the k-th tab from the end goes).
#pragma once
#include <windows.h>

namespace z9 {

struct PageMaskRange {
  DWORD markerLow;   // the page acts when markerLow <= marker <= markerHigh
  DWORD markerHigh;
  int tabs;          // how many tabs from the end the page considers
};

constexpr PageMaskRange kMaskPropPage2 = {4, 7, 2};
constexpr PageMaskRange kMaskDefaultPage2 = {8, 15, 3};
constexpr PageMaskRange kMaskDefaultPage1 = {16, 31, 4};
constexpr PageMaskRange kMaskPropPage1 = {32, 63, 5};

constexpr int kMaxMaskRemovals = 8;

// The tab indexes to remove, in removal order, for a frame of `tabCount` tabs
// and the settings value `value`; returns how many (at most range.tabs).
// `tabCount` is not re-read between removals: the indexes count down from
// the end, so each stays valid after the removals before it.
int PageMaskRemovals(DWORD value, int tabCount, const PageMaskRange& range, int (&indexes)[kMaxMaskRemovals]);

// Applies the mask to the property frame of a page dialog: the dialog's
// grandparent, asked for its tab control. A frame without a tab control, or
// with two tabs or fewer, is left alone, as it is when the settings key or
// value is missing. Returns how many tabs were removed.
int ApplyPageMask(HWND pageDialog, const PageMaskRange& range);

// First step of every page's dialog initialisation: decides the process's
// registry view flag, then applies the page's mask.
int PreparePageDialog(HWND pageDialog, const PageMaskRange& range);

}  // namespace z9
