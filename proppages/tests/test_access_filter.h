// A stand-in for object 0 of a page: an object offering IKsControl and
// IKsPropertySet whose every request goes to a handler of the test's choice
// (which may answer itself or forward to the bench's proxy filter and then
// change the answer). It can also refuse its interfaces or hand out null.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <strmif.h>
#include <ks.h>
#include <ksmedia.h>
#include <ksproxy.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "ks_interfaces.h"
#include "win_handles.h"

namespace proptest {

// One request as object 0 received it.
struct Request {
  bool viaPropertySet = false;  // IKsPropertySet (else IKsControl::KsProperty)
  bool isSet = false;           // IKsPropertySet::Set
  GUID set = {};
  ULONG id = 0;
  ULONG flags = 0;              // the header's flags (IKsControl), or the verb (IKsPropertySet)
  std::vector<uint8_t> property;  // KsProperty: the property bytes; IKsPropertySet: the instance bytes
  const void* propertyPointer = nullptr;
  void* data = nullptr;
  ULONG dataLength = 0;
};

using Handler = std::function<HRESULT(const Request&, ULONG* returned)>;

enum class QueryMode { Normal, Refuse, NullPointer };

class FakeFilter final : public IKsControl, public IKsPropertySet {
 public:
  FakeFilter() = default;

  Handler handler;
  QueryMode queryMode = QueryMode::Normal;
  std::vector<Request> requests;

  IUnknown* Unknown() { return static_cast<IKsControl*>(this); }
  LONG Refs() const { return refs_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = static_cast<IKsControl*>(this);
      AddRef();
      return S_OK;
    }
    const bool ks = IsEqualIID(iid, z9::camprop::kIidKsControl);
    const bool ps = IsEqualIID(iid, z9::camprop::kIidKsPropertySet);
    if (!ks && !ps) return E_NOINTERFACE;
    if (queryMode == QueryMode::Refuse) return E_NOINTERFACE;
    if (queryMode == QueryMode::NullPointer) return S_OK;
    if (ks) *out = static_cast<IKsControl*>(this);
    else *out = static_cast<IKsPropertySet*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  // Lives on the test's stack: never deleted by a release.
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }

  STDMETHODIMP KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data, ULONG dataLength,
                          ULONG* returned) override {
    Request r;
    if (property && propertyLength >= sizeof(KSPROPERTY)) {
      r.set = property->Set;
      r.id = property->Id;
      r.flags = property->Flags;
    }
    if (property) r.property.assign(reinterpret_cast<uint8_t*>(property), reinterpret_cast<uint8_t*>(property) + propertyLength);
    r.propertyPointer = property;
    r.data = data;
    r.dataLength = dataLength;
    return Handle(r, returned);
  }
  STDMETHODIMP KsMethod(PKSMETHOD, ULONG, LPVOID, ULONG, ULONG*) override { return E_NOTIMPL; }
  STDMETHODIMP KsEvent(PKSEVENT, ULONG, LPVOID, ULONG, ULONG*) override { return E_NOTIMPL; }

  STDMETHODIMP Set(REFGUID set, ULONG id, LPVOID instance, ULONG instanceLength, LPVOID data,
                   ULONG dataLength) override {
    Request r = PropertySetRequest(set, id, instance, instanceLength, data, dataLength);
    r.isSet = true;
    r.flags = KSPROPERTY_TYPE_SET;
    ULONG returned = 0;
    return Handle(r, &returned);
  }
  STDMETHODIMP Get(REFGUID set, ULONG id, LPVOID instance, ULONG instanceLength, LPVOID data, ULONG dataLength,
                   ULONG* returned) override {
    Request r = PropertySetRequest(set, id, instance, instanceLength, data, dataLength);
    r.flags = KSPROPERTY_TYPE_GET;
    ULONG got = 0;
    const HRESULT hr = Handle(r, &got);
    if (returned) *returned = got;
    return hr;
  }
  STDMETHODIMP QuerySupported(REFGUID, ULONG, ULONG*) override { return E_NOTIMPL; }

 private:
  static Request PropertySetRequest(REFGUID set, ULONG id, LPVOID instance, ULONG instanceLength, LPVOID data,
                                    ULONG dataLength) {
    Request r;
    r.viaPropertySet = true;
    r.set = set;
    r.id = id;
    if (instance)
      r.property.assign(static_cast<uint8_t*>(instance), static_cast<uint8_t*>(instance) + instanceLength);
    r.propertyPointer = instance;
    r.data = data;
    r.dataLength = dataLength;
    return r;
  }
  HRESULT Handle(const Request& r, ULONG* returned) {
    requests.push_back(r);
    ULONG got = 0;
    const HRESULT hr = handler ? handler(r, &got) : E_NOTIMPL;
    if (returned) *returned = got;
    return hr;
  }

  LONG refs_ = 1;
};

// Sends a recorded request on to a real filter (the bench's proxy) as it came.
inline HRESULT Forward(IUnknown* filter, const Request& r, ULONG* returned) {
  if (r.viaPropertySet) {
    z9::ComPtr<IKsPropertySet> ps;
    HRESULT hr = filter->QueryInterface(z9::camprop::kIidKsPropertySet, ps.put_void());
    if (FAILED(hr)) return hr;
    std::vector<uint8_t> instance = r.property;
    // The caller's buffer may double as instance data: keep them one buffer.
    void* inst = r.propertyPointer == r.data ? r.data : instance.data();
    if (r.isSet) return ps->Set(r.set, r.id, inst, static_cast<ULONG>(r.property.size()), r.data, r.dataLength);
    return ps->Get(r.set, r.id, inst, static_cast<ULONG>(r.property.size()), r.data, r.dataLength, returned);
  }
  z9::ComPtr<IKsControl> ks;
  HRESULT hr = filter->QueryInterface(z9::camprop::kIidKsControl, ks.put_void());
  if (FAILED(hr)) return hr;
  std::vector<uint8_t> property = r.property;
  void* prop = r.propertyPointer == r.data ? r.data : property.data();
  return ks->KsProperty(static_cast<PKSPROPERTY>(prop), static_cast<ULONG>(r.property.size()), r.data, r.dataLength,
                        returned);
}

inline bool SameGuid(const GUID& a, const z9::Guid& b) { return IsEqualGUID(a, z9::ToWinGuid(b)); }

}  // namespace proptest
