#include "page_mask.h"

#include <commctrl.h>
#include <prsht.h>

#include "registry_view.h"
#include "settings.h"

namespace z9 {

int PageMaskRemovals(DWORD value, int tabCount, const PageMaskRange& range, int (&indexes)[kMaxMaskRemovals]) {
  if (tabCount <= 2) return 0;
  const DWORD marker = (value >> 8) & 0xFF;
  const DWORD mask = value & 0xFF;
  if (marker < range.markerLow || marker > range.markerHigh) return 0;
  int count = 0;
  const int tabs = range.tabs < kMaxMaskRemovals ? range.tabs : kMaxMaskRemovals;
  for (int k = 1; k <= tabs; ++k) {
    if ((mask & (1u << (k - 1))) == 0 && tabCount > k) indexes[count++] = tabCount - k;
  }
  return count;
}

int ApplyPageMask(HWND pageDialog, const PageMaskRange& range) {
  if (pageDialog == nullptr) return 0;
  HWND parent = GetParent(pageDialog);
  HWND frame = parent ? GetParent(parent) : nullptr;
  if (frame == nullptr) return 0;
  HWND tabs = reinterpret_cast<HWND>(SendMessageA(frame, PSM_GETTABCONTROL, 0, 0));
  if (tabs == nullptr || !IsWindow(tabs)) return 0;
  const int n = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
  if (n <= 2) return 0;

  DWORD value = 0;
  {
    UniqueHKey key;
    if (!OpenSettingsKey(kSettingsRead, &key)) return 0;
    if (!QueryDwordValue(key.get(), "PropertyPage", &value)) value = 0;
  }
  int indexes[kMaxMaskRemovals];
  const int count = PageMaskRemovals(value, n, range, indexes);
  for (int i = 0; i < count; ++i) SendMessageA(frame, PSM_REMOVEPAGE, static_cast<WPARAM>(indexes[i]), 0);
  return count;
}

int PreparePageDialog(HWND pageDialog, const PageMaskRange& range) {
  SetRegistryViewFlag(ComputeRegistryViewFlag());
  return ApplyPageMask(pageDialog, range);
}

}  // namespace z9
