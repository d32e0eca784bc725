// The bench's own format page for a video pin (test equipment): a list of the
// pin's stream capabilities; choosing one sets it through IAMStreamConfig at
// once (Wine's property frame never calls Apply) and again on Apply.
#pragma once
#include "ks_headers.h"

namespace z9proxy {

extern const CLSID kClsidFormatPage;

class FormatPage final : public IPropertyPage {
 public:
  static HRESULT Create(IUnknown* outer, REFIID iid, void** out);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT cmd) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR dir) override;
  STDMETHODIMP TranslateAccelerator(MSG* msg) override;

  // Control ids inside the page window.
  static constexpr int kListId = 100;
  static constexpr int kStatusId = 101;

 private:
  FormatPage();
  ~FormatPage();
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void FillList();
  HRESULT ApplySelection();
  void ShowCurrent();

  LONG refs_ = 1;
  IPropertyPageSite* site_ = nullptr;
  IAMStreamConfig* config_ = nullptr;
  HWND window_ = nullptr;
  HWND list_ = nullptr;
  HWND status_ = nullptr;
  bool dirty_ = false;
};

}  // namespace z9proxy
