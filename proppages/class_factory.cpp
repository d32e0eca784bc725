#include "class_factory.h"

namespace z9 {

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
  *out = static_cast<IClassFactory*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() {
  const LONG n = InterlockedIncrement(&refs_);
  if (n == 2) LockModule();  // the first reference beyond the cache's
  return static_cast<ULONG>(n);
}

STDMETHODIMP_(ULONG) ClassFactory::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 1) UnlockModule();
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  // An aggregating object must ask for the inner object's own unknown.
  if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
  PageBase* page = entry_->create();
  if (page == nullptr) return E_OUTOFMEMORY;
  if (outer != nullptr) {
    page->SetOuter(outer);
    *out = page->InnerUnknown();  // carries the object's one reference
    return S_OK;
  }
  const HRESULT hr = page->QueryInterface(iid, out);
  page->Release();
  return hr;
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock)
    LockModule();
  else
    UnlockModule();
  return S_OK;
}

}  // namespace z9
