#include "pin_enumerator.h"

#include <new>

#include "module.h"

namespace z9proxy {

HRESULT PinEnumerator::Create(const std::vector<IPin*>& pins, size_t position, IEnumPins** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* e = new (std::nothrow) PinEnumerator();
  if (!e) return E_OUTOFMEMORY;
  try {
    e->pins_ = pins;
  } catch (...) {
    delete e;
    return E_OUTOFMEMORY;
  }
  for (IPin* p : e->pins_) p->AddRef();
  e->position_ = position;
  AddModuleRef();
  *out = e;
  return S_OK;
}

PinEnumerator::~PinEnumerator() {
  for (IPin* p : pins_) p->Release();
  ReleaseModuleRef();
}

STDMETHODIMP PinEnumerator::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumPins)) {
    *out = static_cast<IEnumPins*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PinEnumerator::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) PinEnumerator::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

STDMETHODIMP PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (!pins) return E_POINTER;
  if (count != 1 && !fetched) return E_INVALIDARG;
  ULONG n = 0;
  while (n < count && position_ < pins_.size()) {
    pins[n] = pins_[position_++];
    pins[n]->AddRef();
    ++n;
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Skip(ULONG count) {
  if (count > pins_.size() - position_) {
    position_ = pins_.size();
    return S_FALSE;
  }
  position_ += count;
  return S_OK;
}

STDMETHODIMP PinEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP PinEnumerator::Clone(IEnumPins** out) { return Create(pins_, position_, out); }

}  // namespace z9proxy
