#include "media_type_enumerator.h"

#include <new>

#include "module.h"
#include "video_formats.h"

namespace z9proxy {

HRESULT MediaTypeEnumerator::Create(size_t current, REFERENCE_TIME frameTime, IEnumMediaTypes** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* e = new (std::nothrow) MediaTypeEnumerator();
  if (!e) return E_OUTOFMEMORY;
  try {
    e->order_.push_back(current);
    for (size_t i = 0; i < FormatCount(); ++i)
      if (i != current) e->order_.push_back(i);
  } catch (...) {
    delete e;
    return E_OUTOFMEMORY;
  }
  e->frameTime_ = frameTime;
  AddModuleRef();
  *out = e;
  return S_OK;
}

MediaTypeEnumerator::~MediaTypeEnumerator() { ReleaseModuleRef(); }

STDMETHODIMP MediaTypeEnumerator::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumMediaTypes)) {
    *out = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MediaTypeEnumerator::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) MediaTypeEnumerator::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

STDMETHODIMP MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (!types) return E_POINTER;
  if (count != 1 && !fetched) return E_INVALIDARG;
  ULONG n = 0;
  while (n < count && position_ < order_.size()) {
    const REFERENCE_TIME t = position_ == 0 ? frameTime_ : kDefaultFrameTime;
    const HRESULT hr = NewMediaType(order_[position_], t, &types[n]);
    if (FAILED(hr)) {
      while (n > 0) DeleteMediaType(types[--n]);
      if (fetched) *fetched = 0;
      return hr;
    }
    ++position_;
    ++n;
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

STDMETHODIMP MediaTypeEnumerator::Skip(ULONG count) {
  if (count > order_.size() - position_) {
    position_ = order_.size();
    return S_FALSE;
  }
  position_ += count;
  return S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Clone(IEnumMediaTypes** out) {
  const HRESULT hr = Create(order_.empty() ? 0 : order_[0], frameTime_, out);
  if (SUCCEEDED(hr)) static_cast<MediaTypeEnumerator*>(*out)->position_ = position_;
  return hr;
}

}  // namespace z9proxy
