#include "proxy_filter.h"

#include <cstring>
#include <memory>
#include <new>

#include "bench_stream.h"
#include "device_path.h"
#include "module.h"
#include "pin_enumerator.h"
#include "stream_settings.h"
#include "sync_control.h"

namespace z9proxy {
namespace {

constexpr char kMediaSets[] = "SYSTEM\\CurrentControlSet\\Control\\MediaSets";
constexpr ULONG kPropertyHeader = sizeof(KSPROPERTY);  // 24

class ScopedLock {
 public:
  explicit ScopedLock(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
  ~ScopedLock() { LeaveCriticalSection(cs_); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CRITICAL_SECTION* cs_;
};

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (k_) RegCloseKey(k_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY* put() { return &k_; }
  HKEY get() const { return k_; }

 private:
  HKEY k_ = nullptr;
};

bool GuidOfKeyName(const char* name, GUID* guid) {
  WCHAR wide[64] = {};
  if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 64)) return false;
  return SUCCEEDED(CLSIDFromString(wide, guid));
}

}  // namespace

HRESULT ProxyFilter::Create(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* f = new (std::nothrow) ProxyFilter();
  if (!f) return E_OUTOFMEMORY;
  const DWORD format = StreamSetting(Z9B_STREAM_FORMAT, 0);
  f->format_ = format < FormatCount() ? format : 0;
  // The pins: capture always, preview unless the bench switched it off.
  try {
    PinHost* host = f;
    f->videoPins_.push_back(std::make_unique<VideoPin>(host, L"Capture", PIN_CATEGORY_CAPTURE, false));
    if (StreamSetting(Z9B_STREAM_PREVIEW_PIN, 1) != 0)
      f->videoPins_.push_back(std::make_unique<VideoPin>(host, L"Preview", PIN_CATEGORY_PREVIEW, true));
    for (auto& p : f->videoPins_) f->pins_.push_back(p.get());
  } catch (...) {
    f->Release();
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = f->QueryInterface(iid, out);
  f->Release();
  return hr;
}

ProxyFilter::ProxyFilter() : frameTime_(kDefaultFrameTime) {
  InitializeCriticalSection(&lock_);
  InitializeCriticalSection(&stateLock_);
  AddModuleRef();
}

ProxyFilter::~ProxyFilter() {
  for (auto& p : videoPins_) p->Inactive();
  pins_.clear();
  videoPins_.clear();
  DeleteCriticalSection(&stateLock_);
  if (clock_) clock_->Release();
  if (device_ != INVALID_HANDLE_VALUE) CloseHandle(device_);
  DeleteCriticalSection(&lock_);
  ReleaseModuleRef();
}

// ---- IUnknown -------------------------------------------------------------

STDMETHODIMP ProxyFilter::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  void* p = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IMediaFilter) ||
      IsEqualIID(iid, IID_IBaseFilter))
    p = static_cast<IBaseFilter*>(this);
  else if (IsEqualIID(iid, IID_IKsControl))
    p = static_cast<IKsControl*>(this);
  else if (IsEqualIID(iid, IID_IKsPropertySet))
    p = static_cast<IKsPropertySet*>(this);
  else if (IsEqualIID(iid, IID_ISpecifyPropertyPages))
    p = static_cast<ISpecifyPropertyPages*>(this);
  else if (IsEqualIID(iid, IID_IPersistPropertyBag))
    p = static_cast<IPersistPropertyBag*>(this);
  else if (IsEqualIID(iid, IID_IAMFilterMiscFlags))
    p = static_cast<IAMFilterMiscFlags*>(this);
  else if (IsEqualIID(iid, kIID_IKsObject))
    p = static_cast<IKsObjectItf*>(this);
  *out = p;
  if (!p) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) ProxyFilter::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) ProxyFilter::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

// ---- IPersist / IMediaFilter / IBaseFilter ------------------------------------

STDMETHODIMP ProxyFilter::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = kClsidProxy;
  return S_OK;
}

// State changes are ordered by stateLock_; the streaming threads only read
// the state under lock_, so a pin can be stopped (its thread joined) without
// holding lock_.
STDMETHODIMP ProxyFilter::Stop() {
  ScopedLock order(&stateLock_);
  {
    ScopedLock l(&lock_);
    state_ = State_Stopped;
  }
  for (auto& p : videoPins_) p->Inactive();
  return S_OK;
}

STDMETHODIMP ProxyFilter::Pause() {
  // The bench's run failure refuses streaming from the start: Wine's graph
  // finishes a run from stopped asynchronously and would not report Run's.
  if (StreamSetting(Z9B_STREAM_FAULTS, 0) & Z9B_STREAM_FAIL_RUN) return E_FAIL;
  ScopedLock order(&stateLock_);
  FILTER_STATE was;
  {
    ScopedLock l(&lock_);
    was = state_;
    state_ = State_Paused;
  }
  if (was == State_Stopped) {
    for (auto& p : videoPins_) {
      const HRESULT hr = p->Active();
      if (FAILED(hr)) {
        {
          ScopedLock l(&lock_);
          state_ = State_Stopped;
        }
        for (auto& q : videoPins_) q->Inactive();
        return hr;
      }
    }
  }
  return S_OK;
}

STDMETHODIMP ProxyFilter::Run(REFERENCE_TIME start) {
  if (StreamSetting(Z9B_STREAM_FAULTS, 0) & Z9B_STREAM_FAIL_RUN) return E_FAIL;
  ScopedLock order(&stateLock_);
  FILTER_STATE was;
  {
    ScopedLock l(&lock_);
    was = state_;
  }
  if (was == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  ScopedLock l(&lock_);
  start_ = start;
  state_ = State_Running;
  return S_OK;
}

STDMETHODIMP ProxyFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  ScopedLock l(&lock_);
  *state = state_;
  // A live source delivers nothing while paused.
  return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP ProxyFilter::SetSyncSource(IReferenceClock* clock) {
  ScopedLock l(&lock_);
  if (clock) clock->AddRef();
  if (clock_) clock_->Release();
  clock_ = clock;
  return S_OK;
}

STDMETHODIMP ProxyFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  ScopedLock l(&lock_);
  *clock = clock_;
  if (clock_) clock_->AddRef();
  return S_OK;
}

STDMETHODIMP ProxyFilter::EnumPins(IEnumPins** pins) {
  ScopedLock l(&lock_);
  return PinEnumerator::Create(pins_, 0, pins);
}

STDMETHODIMP ProxyFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  ScopedLock l(&lock_);
  for (IPin* p : pins_) {
    LPWSTR pid = nullptr;
    if (SUCCEEDED(p->QueryId(&pid)) && pid) {
      const bool same = lstrcmpW(pid, id) == 0;
      CoTaskMemFree(pid);
      if (same) {
        p->AddRef();
        *pin = p;
        return S_OK;
      }
    }
  }
  return VFW_E_NOT_FOUND;
}

STDMETHODIMP ProxyFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  ScopedLock l(&lock_);
  lstrcpynW(info->achName, name_, MAX_FILTER_NAME);
  info->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

STDMETHODIMP ProxyFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  ScopedLock l(&lock_);
  graph_ = graph;
  name_[0] = 0;
  if (name) lstrcpynW(name_, name, MAX_FILTER_NAME);
  return S_OK;
}

STDMETHODIMP ProxyFilter::QueryVendorInfo(LPWSTR* info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

// ---- the stream format (PinHost) --------------------------------------------------------

void ProxyFilter::CurrentFormat(size_t* index, REFERENCE_TIME* frameTime) {
  ScopedLock l(&lock_);
  *index = format_;
  *frameTime = frameTime_;
}

FILTER_STATE ProxyFilter::StreamState() {
  ScopedLock l(&lock_);
  return state_;
}

bool ProxyFilter::StreamTime(REFERENCE_TIME* now) {
  IReferenceClock* clock = nullptr;
  REFERENCE_TIME start = 0;
  {
    ScopedLock l(&lock_);
    if (state_ != State_Running || !clock_) return false;
    clock = clock_;
    clock->AddRef();
    start = start_;
  }
  REFERENCE_TIME t = 0;
  const HRESULT hr = clock->GetTime(&t);
  clock->Release();
  if (FAILED(hr)) return false;
  *now = t - start;
  return true;
}

void ProxyFilter::FrameCounts(LONG* delivered, LONG* dropped) {
  *delivered = *dropped = 0;
  for (auto& p : videoPins_) {
    LONG d = 0, x = 0;
    p->OwnCounts(&d, &x);
    *delivered += d;
    *dropped += x;
  }
}

HRESULT ProxyFilter::Reconnect(VideoPin* pin) {
  IPin* peer = nullptr;
  if (FAILED(pin->ConnectedTo(&peer)) || !peer) return S_OK;
  IFilterGraph* graph = nullptr;
  {
    ScopedLock l(&lock_);
    graph = graph_;
    if (graph) graph->AddRef();
  }
  HRESULT hr;
  if (graph) {
    graph->Disconnect(pin);
    graph->Disconnect(peer);
    hr = graph->ConnectDirect(pin, peer, nullptr);
    graph->Release();
  } else {
    peer->Disconnect();
    pin->Disconnect();
    hr = pin->Connect(peer, nullptr);
  }
  peer->Release();
  return hr;
}

// A new frame time alone is taken at any time (it applies from the next
// start); a new picture format needs a stopped filter, and connected pins are
// connected again with it.  When that fails the old format comes back.
HRESULT ProxyFilter::SetStreamFormat(const AM_MEDIA_TYPE& mt) {
  const int index = FindFormat(mt);
  if (index < 0) return VFW_E_INVALIDMEDIATYPE;
  REFERENCE_TIME frameTime = FrameTimeOf(mt);
  ScopedLock order(&stateLock_);
  size_t oldIndex;
  REFERENCE_TIME oldTime;
  {
    ScopedLock l(&lock_);
    if (frameTime == 0) frameTime = frameTime_;
    if (frameTime < kMinFrameTime || frameTime > kMaxFrameTime) return E_INVALIDARG;
    oldIndex = format_;
    oldTime = frameTime_;
    if (static_cast<size_t>(index) != format_ && state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    format_ = static_cast<size_t>(index);
    frameTime_ = frameTime;
  }
  if (static_cast<size_t>(index) == oldIndex) return S_OK;
  HRESULT hr = S_OK;
  for (auto& p : videoPins_)
    if (SUCCEEDED(hr)) hr = Reconnect(p.get());
  if (FAILED(hr)) {
    {
      ScopedLock l(&lock_);
      format_ = oldIndex;
      frameTime_ = oldTime;
    }
    for (auto& p : videoPins_) Reconnect(p.get());
  }
  return hr;
}

// ---- the device -----------------------------------------------------------------

HRESULT ProxyFilter::OpenDevice(HANDLE* device) {
  ScopedLock l(&lock_);
  if (device_ == INVALID_HANDLE_VALUE) {
    std::string path = devicePath_;
    if (path.empty() && !FindCaptureInterfacePath(kDefaultInstanceId, &path))
      return HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
    device_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (device_ == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  }
  *device = device_;
  return S_OK;
}

HRESULT ProxyFilter::Device(ULONG code, void* in, ULONG inLength, void* out, ULONG outLength, ULONG* returned) {
  if (returned) *returned = 0;
  HANDLE device = INVALID_HANDLE_VALUE;
  const HRESULT hr = OpenDevice(&device);
  if (FAILED(hr)) return hr;
  // The handle lives as long as the object, so the request runs unlocked.
  return SyncDeviceControl(device, code, in, inLength, out, outLength, returned);
}

HRESULT ProxyFilter::Property(const GUID& set, ULONG id, ULONG flags, const void* instance, ULONG instanceLength,
                              void* data, ULONG dataLength, ULONG* returned) {
  if (returned) *returned = 0;
  if ((instanceLength && !instance) || (dataLength && !data)) return E_POINTER;
  if (instanceLength > 0x7FFFFFFFu - kPropertyHeader) return E_INVALIDARG;
  const ULONG length = kPropertyHeader + instanceLength;
  std::unique_ptr<BYTE[]> request(new (std::nothrow) BYTE[length]);
  if (!request) return E_OUTOFMEMORY;
  KSPROPERTY header{};
  header.Set = set;
  header.Id = id;
  header.Flags = flags;
  std::memcpy(request.get(), &header, kPropertyHeader);
  if (instanceLength) std::memcpy(request.get() + kPropertyHeader, instance, instanceLength);
  return Device(IOCTL_KS_PROPERTY, request.get(), length, data, dataLength, returned);
}

// ---- IKsControl -----------------------------------------------------------------

STDMETHODIMP ProxyFilter::KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data, ULONG dataLength,
                                     ULONG* returned) {
  if (!property || !returned) return E_POINTER;
  if (propertyLength < kPropertyHeader) return E_INVALIDARG;
  return Device(IOCTL_KS_PROPERTY, property, propertyLength, data, dataLength, returned);
}

STDMETHODIMP ProxyFilter::KsMethod(PKSMETHOD method, ULONG methodLength, LPVOID data, ULONG dataLength,
                                   ULONG* returned) {
  if (!method || !returned) return E_POINTER;
  return Device(IOCTL_KS_METHOD, method, methodLength, data, dataLength, returned);
}

STDMETHODIMP ProxyFilter::KsEvent(PKSEVENT event, ULONG eventLength, LPVOID data, ULONG dataLength,
                                  ULONG* returned) {
  if (!returned) return E_POINTER;
  // No event: disable the one described by the data.
  if (!event) return Device(IOCTL_KS_DISABLE_EVENT, data, dataLength, nullptr, 0, returned);
  return Device(IOCTL_KS_ENABLE_EVENT, event, eventLength, data, dataLength, returned);
}

// ---- IKsPropertySet ---------------------------------------------------------------

STDMETHODIMP ProxyFilter::Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength, LPVOID data,
                              DWORD dataLength) {
  ULONG returned = 0;
  return Property(set, id, KSPROPERTY_TYPE_SET, instance, instanceLength, data, dataLength, &returned);
}

STDMETHODIMP ProxyFilter::Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength, LPVOID data,
                              DWORD dataLength, DWORD* returned) {
  ULONG got = 0;
  const HRESULT hr = Property(set, id, KSPROPERTY_TYPE_GET, instance, instanceLength, data, dataLength, &got);
  if (returned) *returned = got;
  return hr;
}

STDMETHODIMP ProxyFilter::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (!support) return E_POINTER;
  *support = 0;
  ULONG access = 0, returned = 0;
  const HRESULT hr = Property(set, id, KSPROPERTY_TYPE_BASICSUPPORT, nullptr, 0, &access, sizeof access, &returned);
  if (FAILED(hr)) return hr;
  *support = access & (KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET);
  return S_OK;
}

// ---- ISpecifyPropertyPages -----------------------------------------------------------

// Every set listed under MediaSets that the device supports contributes the
// class ids under its "PropertyPages" key, in registry order, each once.
STDMETHODIMP ProxyFilter::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = nullptr;
  std::vector<GUID> found;
  try {
    RegKey sets;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMediaSets, 0, KEY_READ, sets.put()) == ERROR_SUCCESS) {
      for (DWORD i = 0;; ++i) {
        char name[128];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(sets.get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
          break;
        GUID set;
        if (!GuidOfKeyName(name, &set)) continue;
        ULONG returned = 0;
        if (FAILED(Property(set, 0, KSPROPERTY_TYPE_SETSUPPORT, nullptr, 0, nullptr, 0, &returned))) continue;
        RegKey list;
        if (RegOpenKeyExA(sets.get(), (std::string(name) + "\\PropertyPages").c_str(), 0, KEY_READ, list.put()) !=
            ERROR_SUCCESS)
          continue;
        for (DWORD j = 0;; ++j) {
          char page[128];
          DWORD pageLength = sizeof page;
          if (RegEnumKeyExA(list.get(), j, page, &pageLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
          GUID clsid;
          if (!GuidOfKeyName(page, &clsid)) continue;
          bool seen = false;
          for (const GUID& g : found) seen = seen || IsEqualGUID(g, clsid);
          if (!seen) found.push_back(clsid);
        }
      }
    }
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  if (found.empty()) return S_OK;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(found.size() * sizeof(GUID)));
  if (!pages->pElems) return E_OUTOFMEMORY;
  std::memcpy(pages->pElems, found.data(), found.size() * sizeof(GUID));
  pages->cElems = static_cast<ULONG>(found.size());
  return S_OK;
}

// ---- IPersistPropertyBag -------------------------------------------------------------

STDMETHODIMP ProxyFilter::InitNew() { return S_OK; }

// The system device enumerator hands over the device's registration: its
// "DevicePath" names the capture interface.  A device that does not open
// fails the bind.
STDMETHODIMP ProxyFilter::Load(IPropertyBag* bag, IErrorLog* log) {
  if (!bag) return E_POINTER;
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  if (SUCCEEDED(bag->Read(L"DevicePath", &v, log)) && v.vt == VT_BSTR && v.bstrVal) {
    char path[1024] = {};
    if (WideCharToMultiByte(CP_ACP, 0, v.bstrVal, -1, path, sizeof path, nullptr, nullptr)) {
      ScopedLock l(&lock_);
      if (device_ == INVALID_HANDLE_VALUE) devicePath_ = path;
    }
  }
  VariantClear(&v);
  HANDLE device = INVALID_HANDLE_VALUE;
  return OpenDevice(&device);
}

STDMETHODIMP ProxyFilter::Save(IPropertyBag*, BOOL, BOOL) { return E_NOTIMPL; }

// ---- IAMFilterMiscFlags / IKsObject ---------------------------------------------------

STDMETHODIMP_(ULONG) ProxyFilter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

HANDLE STDMETHODCALLTYPE ProxyFilter::KsGetObjectHandle() {
  HANDLE device = INVALID_HANDLE_VALUE;
  return SUCCEEDED(OpenDevice(&device)) ? device : nullptr;
}

}  // namespace z9proxy
