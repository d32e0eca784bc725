// Property sheets for the frame tests: a comctl32 sheet of plain tabs that
// can host a page of the library in its first tab (the page dialog's
// grandparent is then the sheet, as in the system's property frame), and the
// proxy filter object of the prefix's kernel-streaming proxy.
#pragma once
#include "dex_test_support.h"

#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

namespace dextest {

const CLSID kClsidProxyFilter = {0x17CCA71B, 0xECD7, 0x11D0, {0xB9, 0x08, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// The proxy filter object for the bench camera (nullptr when not registered).
inline IUnknown* CreateProxyFilter() {
  IUnknown* filter = nullptr;
  if (FAILED(CoCreateInstance(kClsidProxyFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&filter))))
    return nullptr;
  return filter;
}

// Texts of a tab control's items, in order.
inline std::vector<std::string> TabTitles(HWND tabs) {
  std::vector<std::string> titles;
  const int n = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    wchar_t text[128] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    titles.push_back(Narrow(text));
  }
  return titles;
}

// A modeless sheet of `count` plain tabs "Tab0", "Tab1", ...
class PlainSheet {
 public:
  PlainSheet(HWND owner, int count) {
    // One empty child dialog template, large enough for any page.
    static const WORD kTemplate[] __attribute__((aligned(4))) = {
        LOWORD(WS_CHILD), HIWORD(WS_CHILD), 0, 0,  // style, extended style
        0,                                     // no controls
        0, 0, 300, 270,                        // x, y, cx, cy
        0, 0, 0};                              // no menu, default class, no title
    for (int i = 0; i < count; ++i) titles_.push_back("Tab" + std::to_string(i));
    std::vector<PROPSHEETPAGEA> pages(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      PROPSHEETPAGEA& p = pages[static_cast<size_t>(i)];
      p.dwSize = sizeof p;
      p.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
      p.hInstance = GetModuleHandleA(nullptr);
      p.pResource = reinterpret_cast<LPCDLGTEMPLATEA>(kTemplate);
      p.pszTitle = titles_[static_cast<size_t>(i)].c_str();
      p.pfnDlgProc = TabProc;
    }
    PROPSHEETHEADERA h = {};
    h.dwSize = sizeof h;
    h.dwFlags = PSH_MODELESS | PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    h.hwndParent = owner;
    h.hInstance = GetModuleHandleA(nullptr);
    h.pszCaption = "Z9 sheet";
    h.nPages = static_cast<UINT>(count);
    h.ppsp = pages.data();
    sheet_ = reinterpret_cast<HWND>(PropertySheetA(&h));
  }
  ~PlainSheet() {
    if (sheet_ != nullptr && IsWindow(sheet_)) DestroyWindow(sheet_);
  }
  PlainSheet(const PlainSheet&) = delete;
  PlainSheet& operator=(const PlainSheet&) = delete;

  HWND get() const { return sheet_; }
  HWND tabs() const { return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETTABCONTROL, 0, 0)); }
  HWND currentTab() const { return reinterpret_cast<HWND>(SendMessageA(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0)); }
  std::vector<std::string> titles() const { return TabTitles(tabs()); }

 private:
  static INT_PTR CALLBACK TabProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }
  std::vector<std::string> titles_;
  HWND sheet_ = nullptr;
};

}  // namespace dextest
