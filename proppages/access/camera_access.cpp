#include "camera_access.h"

#include <cstring>
#include <memory>
#include <new>

#include "ks_interfaces.h"
#include "ks_requests.h"
#include "win_handles.h"

namespace z9::camprop {
namespace {

template <class T>
HRESULT QueryObject(IUnknown* object, REFIID iid, ComPtr<T>* out) {
  if (object == nullptr) return E_POINTER;
  const HRESULT hr = object->QueryInterface(iid, out->put_void());
  if (FAILED(hr)) return hr;
  // An object that claims the interface but hands out nothing has not got it.
  if (!*out) return E_NOINTERFACE;
  return S_OK;
}

Guid OurGuid(const GUID& g) {
  Guid out;
  std::memcpy(&out, &g, sizeof out);
  return out;
}

// Request 1: GET of Value, Flags and Capabilities, answered in place.
HRESULT StandardGet(IKsControl* ks, const GUID& set, ULONG id, StandardControl* entry) {
  uint8_t buf[kStandardRequestSize];
  BuildStandardRequest(buf, OurGuid(set), id, kKsPropertyTypeGet, {entry->Value, entry->Flags, entry->Capabilities});
  ULONG returned = 0;
  HRESULT hr = ks->KsProperty(reinterpret_cast<PKSPROPERTY>(buf), sizeof buf, buf, sizeof buf, &returned);
  if (FAILED(hr)) return hr;
  // Value, Flags and Capabilities end at byte 36.
  if (returned < kKsPropertySize + 12) return kShortAnswer;
  const StandardControlValue v = StandardValueOfReply(buf);
  entry->Value = v.value;
  entry->Flags = v.flags;
  entry->Capabilities = v.capabilities;
  return S_OK;
}

// Requests 2 and 3 for one query kind (basic support or default values).
// Returns false when the caller must stop.
bool QuerySupport(IKsControl* ks, const GUID& set, ULONG id, uint32_t kind, StandardControl* entry) {
  uint8_t header[kKsPropertySize];
  PutKsProperty(header, OurGuid(set), id, kind);
  auto* property = reinterpret_cast<PKSPROPERTY>(header);

  // Access query: may the page read and write the control?
  uint8_t access[kAccessDataSize] = {};
  ULONG returned = 0;
  HRESULT hr = ks->KsProperty(property, sizeof header, access, sizeof access, &returned);
  // A failed query says nothing about the flags, whatever it returned.
  if (FAILED(hr) || returned < sizeof access) return false;
  const uint32_t flags = GetU32(access);
  if ((flags & kAccessGet) == 0 || (flags & kAccessSet) == 0) {
    entry->Baseline.Supported = 0;
    return false;
  }
  entry->Baseline.Supported = 1;

  // The description tells the size of the whole answer.
  uint8_t description[kDescriptionSize] = {};
  returned = 0;
  hr = ks->KsProperty(property, sizeof header, description, sizeof description, &returned);
  if (FAILED(hr) || returned < sizeof description) {
    entry->Baseline.Supported = 0;
    return false;
  }
  const ULONG size = DescriptionOfReply(description).descriptionSize;
  if (size <= kDescriptionSize) return false;  // no members: the range stays 0..0
  if (size > kMaxDescriptionSize) return false;

  const ULONG needed = kind == kKsPropertyTypeBasicSupport ? kBasicSupportSize : kDefaultValuesSize;
  std::unique_ptr<uint8_t[]> full(new (std::nothrow) uint8_t[size]());
  if (!full) return false;
  returned = 0;
  hr = ks->KsProperty(property, sizeof header, full.get(), size, &returned);
  // Read only what the answer holds: a description that announces fewer
  // bytes than the layout, or an answer shorter than it, gives nothing.
  if (FAILED(hr) || size < needed || returned < needed) return true;
  if (kind == kKsPropertyTypeBasicSupport) {
    const SteppingRange r = SteppingOfReply(full.get());
    entry->Baseline.Step = static_cast<int32_t>(r.steppingDelta);
    entry->Baseline.Minimum = r.minimum;
    entry->Baseline.Maximum = r.maximum;
  } else {
    entry->Baseline.Default = DefaultValueOfReply(full.get());
  }
  return true;
}

}  // namespace

HRESULT GetControlRange(IUnknown* object, const GUID& set, ULONG id, StandardControl* entry) {
  if (entry == nullptr) return E_POINTER;
  ComPtr<IKsControl> ks;
  HRESULT hr = QueryObject(object, kIidKsControl, &ks);
  if (FAILED(hr)) return hr;
  hr = StandardGet(ks.get(), set, id, entry);
  if (FAILED(hr)) return hr;
  entry->Baseline.Value = entry->Value;
  entry->Baseline.Flags = entry->Flags;
  entry->Baseline.Capabilities = entry->Capabilities;
  if (QuerySupport(ks.get(), set, id, kKsPropertyTypeBasicSupport, entry))
    QuerySupport(ks.get(), set, id, kKsPropertyTypeDefaultValues, entry);
  return hr;
}

HRESULT GetControl(IUnknown* object, const GUID& set, ULONG id, StandardControl* entry) {
  if (entry == nullptr) return E_POINTER;
  ComPtr<IKsControl> ks;
  const HRESULT hr = QueryObject(object, kIidKsControl, &ks);
  if (FAILED(hr)) return hr;
  return StandardGet(ks.get(), set, id, entry);
}

HRESULT SetControl(IUnknown* object, const GUID& set, ULONG id, const StandardControl& entry, bool* requestFailed) {
  if (requestFailed) *requestFailed = false;
  ComPtr<IKsControl> ks;
  HRESULT hr = QueryObject(object, kIidKsControl, &ks);
  if (FAILED(hr)) return hr;
  uint8_t buf[kStandardRequestSize];
  BuildStandardRequest(buf, OurGuid(set), id, kKsPropertyTypeSet, {entry.Value, entry.Flags, entry.Capabilities});
  ULONG returned = 0;
  hr = ks->KsProperty(reinterpret_cast<PKSPROPERTY>(buf), sizeof buf, buf, sizeof buf, &returned);
  if (FAILED(hr) && requestFailed) *requestFailed = true;
  return hr;
}

HRESULT GetExtControl(IUnknown* object, ULONG id, ControlInfo* record) {
  if (record == nullptr) return E_POINTER;
  ComPtr<IKsPropertySet> props;
  HRESULT hr = QueryObject(object, kIidKsPropertySet, &props);
  if (FAILED(hr)) return hr;
  // The payload of a GET means nothing to the camera; it is the record, so
  // that whatever the answer leaves unwritten still holds the record's bytes.
  uint8_t buf[kControlRequestSize];
  BuildControlRequest(buf, id, kKsPropertyTypeGet, *record);
  DWORD returned = 0;
  hr = props->Get(ControlSet(), id, buf, sizeof buf, buf, sizeof buf, &returned);
  if (FAILED(hr)) return hr;
  if (returned < sizeof buf) return kShortAnswer;
  *record = ControlInfoOfReply(buf);
  return S_OK;
}

HRESULT SetExtControl(IUnknown* object, ULONG id, const ControlInfo& record) {
  ComPtr<IKsPropertySet> props;
  HRESULT hr = QueryObject(object, kIidKsPropertySet, &props);
  if (FAILED(hr)) return hr;
  uint8_t buf[kControlRequestSize];
  BuildControlRequest(buf, id, kKsPropertyTypeSet, record);
  return props->Set(ControlSet(), id, buf, sizeof buf, buf, sizeof buf);
}

HRESULT GetStreamInfo(IUnknown* object, int* type, int* width, int* height) {
  int t = 0, w = 0, h = 0;
  ComPtr<IKsPropertySet> props;
  HRESULT hr = QueryObject(object, kIidKsPropertySet, &props);
  if (SUCCEEDED(hr)) {
    uint8_t buf[kStreamInfoRequestSize];
    BuildStreamInfoRequest(buf);
    DWORD returned = 0;
    hr = props->Get(ExtensionSet(), kExtStreamInfo, buf, sizeof buf, buf, sizeof buf, &returned);
    // Type, width and height end at byte 30.
    if (SUCCEEDED(hr) && returned < 30) hr = kShortAnswer;
    if (SUCCEEDED(hr)) {
      const StreamInfo info = StreamInfoOfReply(buf);
      t = info.type;
      w = info.width;
      h = info.height;
    }
  }
  if (type) *type = t;
  if (width) *width = w;
  if (height) *height = h;
  return hr;
}

}  // namespace z9::camprop
