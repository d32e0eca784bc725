// IEnumPins over a snapshot of a filter's pins.
#pragma once
#include <vector>

#include "ks_headers.h"

namespace z9proxy {

class PinEnumerator final : public IEnumPins {
 public:
  // Holds a reference to each pin; `*out` receives the enumerator (refcount 1).
  static HRESULT Create(const std::vector<IPin*>& pins, size_t position, IEnumPins** out);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumPins** out) override;

 private:
  PinEnumerator() = default;
  ~PinEnumerator();

  LONG refs_ = 1;
  std::vector<IPin*> pins_;
  size_t position_ = 0;
};

}  // namespace z9proxy
