// The behaviour all four property pages share as IPropertyPage objects: site,
// object array, dirty flag, the page's modeless dialog. A page class derives
// from PageBase, names its dialog resource and title string, and handles its
// dialog's messages in the virtual handlers below.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "page_mask.h"
#include "page_strings.h"

namespace z9 {

class PageBase : public IPropertyPage {
 public:
  // dialogId: the page's dialog resource; titleId, helpFileId, docStringId:
  // string resource ids (0 for none).
  PageBase(const CLSID& clsid, UINT dialogId, UINT titleId, UINT helpFileId = 0, UINT docStringId = 0);
  virtual ~PageBase();

  // IUnknown: plain or aggregated (outer != nullptr) object.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPropertyPage (fourteen slots after IUnknown's three).
  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT cmd) override;
  STDMETHODIMP Move(LPCRECT rect) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;  // calls OnApply(), then clears the dirty flag, S_OK
  STDMETHODIMP Help(LPCOLESTR dir) override;
  STDMETHODIMP TranslateAccelerator(MSG* msg) override;

  // For the pages.
  HWND Dialog() const { return dialog_; }
  ULONG ObjectCount() const { return objectCount_; }
  IUnknown* Object(ULONG i) const { return i < objectCount_ ? objects_[i] : nullptr; }
  // Sets the dirty flag; tells the site OnStatusChange(DIRTY / CLEAN) only
  // when the flag changes.
  void SetDirty(bool dirty);
  bool Dirty() const { return dirty_; }
  IPropertyPageSite* Site() const { return site_; }
  const CLSID& Clsid() const { return clsid_; }

  // Dialog message handlers. The base dialog procedure routes WM_INITDIALOG,
  // WM_COMMAND, WM_HSCROLL, WM_VSCROLL, WM_NOTIFY and WM_DESTROY to their
  // handlers; every other message (WM_TIMER, the mouse messages, ...) goes to
  // HandleOther. Dialog() is valid from OnInitDialog on; OnDestroy runs while
  // the controls still exist.
  // Return TRUE when handled (for WM_INITDIALOG: the dialog-procedure result).
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual BOOL OnCommand(WORD id, WORD code, HWND control) { return FALSE; }
  virtual BOOL OnHScroll(WORD code, WORD thumb, HWND control) { return FALSE; }
  virtual BOOL OnVScroll(WORD code, WORD thumb, HWND control) { return FALSE; }
  virtual BOOL OnNotify(NMHDR* hdr, LRESULT* result) { return FALSE; }
  virtual BOOL HandleOther(UINT msg, WPARAM wp, LPARAM lp, INT_PTR* result) { return FALSE; }
  virtual void OnDestroy() {}
  // Page-specific commit of the working state into the baseline.
  virtual void OnApply() {}

 private:
  static INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp);
  void ReleaseObjects();

  // Aggregation support lives in the implementation (the non-delegating
  // inner unknown); these are set by the class factory.
 public:
  void SetOuter(IUnknown* outer) { outer_ = outer; }
  IUnknown* InnerUnknown();

  // The page's own reference count and interfaces, whatever the outer object.
  HRESULT InternalQueryInterface(REFIID iid, void** out);
  ULONG InternalAddRef();
  ULONG InternalRelease();

 private:
  // The non-delegating unknown handed to an aggregating outer object.
  struct Inner final : IUnknown {
    PageBase* page = nullptr;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
  };

  CLSID clsid_;
  UINT dialogId_, titleId_, helpFileId_, docStringId_;
  LONG refs_ = 1;
  IUnknown* outer_ = nullptr;
  Inner inner_;
  IPropertyPageSite* site_ = nullptr;
  IUnknown** objects_ = nullptr;
  ULONG objectCount_ = 0;
  bool dirty_ = false;
  HWND dialog_ = nullptr;
  SIZE size_ = {0, 0};
};

// The library's instance handle (set at load).
HINSTANCE ModuleInstance();
// Set by the library's start (tests that link the pages into a program set
// their own module). Until set: the module that holds this code.
void SetModuleInstance(HINSTANCE instance);

// The module lock count: page objects alive, server locks, and references to
// the class factories beyond the cache's own.
void LockModule();
void UnlockModule();
LONG ModuleLockCount();

}  // namespace z9
