// IEnumMediaTypes over the bench formats: the pin's current format first,
// then every other one at the default frame rate.
#pragma once
#include <vector>

#include "ks_headers.h"

namespace z9proxy {

class MediaTypeEnumerator final : public IEnumMediaTypes {
 public:
  static HRESULT Create(size_t current, REFERENCE_TIME frameTime, IEnumMediaTypes** out);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumMediaTypes** out) override;

 private:
  MediaTypeEnumerator() = default;
  ~MediaTypeEnumerator();

  LONG refs_ = 1;
  std::vector<size_t> order_;
  REFERENCE_TIME frameTime_ = 0;  // of the first (current) entry
  size_t position_ = 0;
};

}  // namespace z9proxy
