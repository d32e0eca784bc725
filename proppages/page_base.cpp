// The IPropertyPage behaviour every page shares.
#include "page_base.h"

#include <commctrl.h>

#include <new>

#include "dialog_size.h"
#include "resource_strings.h"

namespace z9 {
namespace {

// SetObjects refuses counts whose array size would not fit 32 bits.
constexpr ULONG kMaxObjects = 0x40000000;

void EnsureCommonControls() {
  static bool done = false;
  if (done) return;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  done = InitCommonControlsEx(&icc) != FALSE;
}

// A string resource of this library as a task-memory copy; nullptr when the
// id is 0 or the string does not exist.
LPOLESTR LoadTaskString(UINT id) { return ResourceTaskString(ModuleInstance(), id); }

}  // namespace

PageBase::PageBase(const CLSID& clsid, UINT dialogId, UINT titleId, UINT helpFileId, UINT docStringId)
    : clsid_(clsid), dialogId_(dialogId), titleId_(titleId), helpFileId_(helpFileId), docStringId_(docStringId) {
  inner_.page = this;
  LockModule();
}

PageBase::~PageBase() {
  if (dialog_ != nullptr) {
    // The page is going: its handlers must not run any more.
    SetWindowLongPtrA(dialog_, DWLP_USER, 0);
    DestroyWindow(dialog_);
    dialog_ = nullptr;
  }
  ReleaseObjects();
  if (site_ != nullptr) site_->Release();
  UnlockModule();
}

// ---- IUnknown -------------------------------------------------------------------

HRESULT PageBase::InternalQueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown)) {
    // An aggregated page answers with its non-delegating unknown; a plain
    // one with its single identity.
    *out = outer_ != nullptr ? static_cast<IUnknown*>(&inner_) : static_cast<IUnknown*>(static_cast<IPropertyPage*>(this));
  } else if (IsEqualIID(iid, IID_IPropertyPage)) {
    *out = static_cast<IPropertyPage*>(this);
  } else {
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*out)->AddRef();
  return S_OK;
}

ULONG PageBase::InternalAddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG PageBase::InternalRelease() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

IUnknown* PageBase::InnerUnknown() { return &inner_; }

STDMETHODIMP PageBase::Inner::QueryInterface(REFIID iid, void** out) { return page->InternalQueryInterface(iid, out); }
STDMETHODIMP_(ULONG) PageBase::Inner::AddRef() { return page->InternalAddRef(); }
STDMETHODIMP_(ULONG) PageBase::Inner::Release() { return page->InternalRelease(); }

STDMETHODIMP PageBase::QueryInterface(REFIID iid, void** out) {
  if (outer_ != nullptr) return outer_->QueryInterface(iid, out);
  return InternalQueryInterface(iid, out);
}

STDMETHODIMP_(ULONG) PageBase::AddRef() { return outer_ != nullptr ? outer_->AddRef() : InternalAddRef(); }

STDMETHODIMP_(ULONG) PageBase::Release() { return outer_ != nullptr ? outer_->Release() : InternalRelease(); }

// ---- IPropertyPage ------------------------------------------------------------------

STDMETHODIMP PageBase::SetPageSite(IPropertyPageSite* site) {
  if (site != nullptr) site->AddRef();
  IPropertyPageSite* old = site_;
  site_ = site;
  if (old != nullptr) old->Release();
  return S_OK;
}

STDMETHODIMP PageBase::Activate(HWND parent, LPCRECT rect, BOOL modal) {
  if (rect == nullptr) return E_POINTER;
  // A second dialog would orphan the first one.
  if (dialog_ != nullptr) return E_UNEXPECTED;
  EnsureCommonControls();
  // An ANSI dialog: the page texts come from the language file in the ANSI
  // code page, and the W form is a failing stub on Windows 98/ME.
  HWND dlg = CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(dialogId_), parent, DialogProc,
                                reinterpret_cast<LPARAM>(this));
  if (dlg == nullptr) return E_FAIL;
  dialog_ = dlg;  // already set by WM_INITDIALOG; also covers a failed init
  Move(rect);
  size_.cx = rect->right - rect->left;
  size_.cy = rect->bottom - rect->top;
  return S_OK;
}

STDMETHODIMP PageBase::Deactivate() {
  if (dialog_ != nullptr) {
    HWND dlg = dialog_;
    DestroyWindow(dlg);  // WM_NCDESTROY forgets the handle
    dialog_ = nullptr;
  }
  return S_OK;
}

STDMETHODIMP PageBase::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr) return E_POINTER;
  SIZE pixels = {};
  if (!DialogTemplatePixelSize(ModuleInstance(), dialogId_, &pixels)) return E_UNEXPECTED;
  size_ = pixels;
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = LoadTaskString(titleId_);
  info->size = size_;
  info->pszHelpFile = LoadTaskString(helpFileId_);
  info->pszDocString = LoadTaskString(docStringId_);
  info->dwHelpContext = 0;
  return S_OK;
}

void PageBase::ReleaseObjects() {
  if (objects_ != nullptr) {
    for (ULONG i = 0; i < objectCount_; ++i)
      if (objects_[i] != nullptr) objects_[i]->Release();
    delete[] objects_;
  }
  objects_ = nullptr;
  objectCount_ = 0;
}

STDMETHODIMP PageBase::SetObjects(ULONG count, IUnknown** objects) {
  // A frame clears the page's objects with (0, nullptr).
  if (objects == nullptr && count != 0) return E_POINTER;
  ReleaseObjects();
  if (count == 0) return S_OK;
  if (count >= kMaxObjects) return E_OUTOFMEMORY;
  IUnknown** array = new (std::nothrow) IUnknown*[count];
  if (array == nullptr) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < count; ++i) {
    array[i] = objects[i];
    if (array[i] != nullptr) array[i]->AddRef();
  }
  objects_ = array;
  objectCount_ = count;
  return S_OK;
}

STDMETHODIMP PageBase::Show(UINT cmd) {
  if (dialog_ == nullptr) return E_UNEXPECTED;
  ShowWindow(dialog_, static_cast<int>(cmd));
  return S_OK;
}

STDMETHODIMP PageBase::Move(LPCRECT rect) {
  if (rect == nullptr) return E_POINTER;
  if (dialog_ == nullptr) return E_UNEXPECTED;
  MoveWindow(dialog_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

STDMETHODIMP PageBase::IsPageDirty() { return dirty_ ? S_OK : S_FALSE; }

STDMETHODIMP PageBase::Apply() {
  OnApply();
  SetDirty(false);
  return S_OK;
}

STDMETHODIMP PageBase::Help(LPCOLESTR dir) {
  LPOLESTR file = LoadTaskString(helpFileId_);
  if (file == nullptr) return E_NOTIMPL;  // the page has no help file
  // "<dir>\<file>", cut to MAX_PATH.
  WCHAR path[MAX_PATH] = {};
  size_t used = 0;
  auto append = [&](const WCHAR* text) {
    for (; *text != 0 && used + 1 < MAX_PATH; ++text) path[used++] = *text;
    path[used] = 0;
  };
  if (dir != nullptr && dir[0] != 0) {
    append(dir);
    append(L"\\");
  }
  append(file);
  CoTaskMemFree(file);
  // The help engine is called in the ANSI form, which every system has.
  char ansiPath[MAX_PATH * 2] = {};
  if (WideCharToMultiByte(CP_ACP, 0, path, -1, ansiPath, sizeof ansiPath, nullptr, nullptr) <= 0) return E_FAIL;
  WinHelpA(dialog_, ansiPath, HELP_CONTENTS, 0);
  return S_OK;
}

STDMETHODIMP PageBase::TranslateAccelerator(MSG* msg) {
  if (msg == nullptr) return E_POINTER;
  if (dialog_ == nullptr) return S_FALSE;
  // Only keyboard input belongs to the dialog's navigation.
  if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return S_FALSE;
  if (msg->hwnd != dialog_ && !IsChild(dialog_, msg->hwnd)) return S_FALSE;
  return IsDialogMessageA(dialog_, msg) ? S_OK : S_FALSE;
}

void PageBase::SetDirty(bool dirty) {
  if (dirty_ == dirty) return;
  dirty_ = dirty;
  if (site_ != nullptr) site_->OnStatusChange(dirty ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_CLEAN);
}

// ---- the dialog -----------------------------------------------------------------------

INT_PTR CALLBACK PageBase::DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  PageBase* page = nullptr;
  if (msg == WM_INITDIALOG) {
    page = reinterpret_cast<PageBase*>(lp);
    SetWindowLongPtrA(dlg, DWLP_USER, lp);
    if (page == nullptr) return TRUE;
    page->dialog_ = dlg;
    return page->OnInitDialog();
  }
  page = reinterpret_cast<PageBase*>(GetWindowLongPtrA(dlg, DWLP_USER));
  if (page == nullptr) return FALSE;

  switch (msg) {
    case WM_COMMAND:
      return page->OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
    case WM_HSCROLL:
      return page->OnHScroll(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
    case WM_VSCROLL:
      return page->OnVScroll(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (lp == 0 || !page->OnNotify(reinterpret_cast<NMHDR*>(lp), &result)) return FALSE;
      SetWindowLongPtrA(dlg, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_DESTROY:
      page->OnDestroy();
      return TRUE;
    case WM_NCDESTROY:
      SetWindowLongPtrA(dlg, DWLP_USER, 0);
      if (page->dialog_ == dlg) page->dialog_ = nullptr;
      return FALSE;
    default: {
      INT_PTR result = 0;
      if (page->HandleOther(msg, wp, lp, &result)) return result;
      return FALSE;
    }
  }
}

}  // namespace z9
