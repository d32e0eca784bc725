// What the tests of the page server share: the built library loaded from
// next to the test, COM set up per test, a recording page site, a counting
// object for SetObjects and a plain host window for a page's dialog.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "page_clsids.h"
#include "wintest.h"

namespace dextest {

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using PlainFn = HRESULT(WINAPI*)();

inline std::string DexPath() { return wintest::ExeDir() + "\\Z9100Dex.dll"; }

// Z9100Dex.dll loaded by path, with its four exports.
class DexLibrary {
 public:
  DexLibrary() {
    module_ = LoadLibraryA(DexPath().c_str());
    if (module_ == nullptr) return;
    getClassObject = reinterpret_cast<GetClassObjectFn>(GetProcAddress(module_, "DllGetClassObject"));
    canUnloadNow = reinterpret_cast<PlainFn>(GetProcAddress(module_, "DllCanUnloadNow"));
    registerServer = reinterpret_cast<PlainFn>(GetProcAddress(module_, "DllRegisterServer"));
    unregisterServer = reinterpret_cast<PlainFn>(GetProcAddress(module_, "DllUnregisterServer"));
  }
  ~DexLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  DexLibrary(const DexLibrary&) = delete;
  DexLibrary& operator=(const DexLibrary&) = delete;

  bool ok() const {
    return module_ != nullptr && getClassObject && canUnloadNow && registerServer && unregisterServer;
  }
  HMODULE module() const { return module_; }

  // A new page object of `clsid` asked for IPropertyPage (nullptr on failure).
  IPropertyPage* CreatePage(REFCLSID clsid) const {
    IClassFactory* factory = nullptr;
    if (FAILED(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return nullptr;
    IPropertyPage* page = nullptr;
    factory->CreateInstance(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page));
    factory->Release();
    return page;
  }

  GetClassObjectFn getClassObject = nullptr;
  PlainFn canUnloadNow = nullptr;
  PlainFn registerServer = nullptr;
  PlainFn unregisterServer = nullptr;

 private:
  HMODULE module_ = nullptr;
};

// COM for the calling thread, for the life of a test.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  bool ok() const { return SUCCEEDED(hr_); }

 private:
  HRESULT hr_;
};

// A reference-counted pointer for the tests.
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* p) : p_(p) {}
  ~Ref() { reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void** put() {
    reset();
    return reinterpret_cast<void**>(&p_);
  }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// An object that only counts its references.
class CountingUnknown : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown)) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
  LONG refs = 1;  // the test's own
};

// A page site that records status changes.
class RecordingSite : public IPropertyPageSite {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyPageSite)) return E_NOINTERFACE;
    *out = static_cast<IPropertyPageSite*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
  STDMETHODIMP OnStatusChange(DWORD flags) override {
    statusChanges.push_back(flags);
    return S_OK;
  }
  STDMETHODIMP GetLocaleID(LCID* lcid) override {
    if (lcid == nullptr) return E_POINTER;
    *lcid = LOCALE_USER_DEFAULT;
    return S_OK;
  }
  STDMETHODIMP GetPageContainer(IUnknown** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

  LONG refs = 1;
  std::vector<DWORD> statusChanges;
};

// A visible top-level window to host a page's dialog.
class HostWindow {
 public:
  HostWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Z9DexTestHost";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassA(&wc);  // already registered is fine
    hwnd_ = CreateWindowExA(0, "Z9DexTestHost", "page host", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 10,
                            10, 700, 600, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  ~HostWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

// UTF-8 to the wide form, for comparing texts in any language.
inline std::wstring Wide(const char* utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &w[0], n);
  w.resize(static_cast<size_t>(n - 1));
  return w;
}

inline std::string Narrow(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
  s.resize(static_cast<size_t>(n - 1));
  return s;
}

struct PageClass {
  const CLSID* clsid;
  const char* name;       // "PropPage1"
  const char* title;      // English tab title
};

inline const std::vector<PageClass>& PageClasses() {
  static const std::vector<PageClass> classes = {
      {&z9::CLSID_PropPage1, "PropPage1", "Property Page"},
      {&z9::CLSID_PropPage2, "PropPage2", "Image Control"},
      {&z9::CLSID_DefaultPage1, "DefaultPage1", "Video Proc Amp"},
      {&z9::CLSID_DefaultPage2, "DefaultPage2", "Camera Control"},
  };
  return classes;
}

inline std::string ClsidString(REFCLSID clsid) {
  wchar_t text[64] = {};
  StringFromGUID2(clsid, text, 64);
  return Narrow(text);
}

}  // namespace dextest
