#include "video_pin.h"

#include <cstring>

#include "bench_stream.h"
#include "frame_painter.h"
#include "media_type_enumerator.h"
#include "stream_settings.h"

namespace z9proxy {
namespace {

class Lock {
 public:
  explicit Lock(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
  ~Lock() { LeaveCriticalSection(cs_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CRITICAL_SECTION* cs_;
};

template <class T>
void ReleaseAndClear(T** p) {
  if (*p) (*p)->Release();
  *p = nullptr;
}

// Whether the caller's (possibly partial) type admits `ours`.
bool Admits(const AM_MEDIA_TYPE& asked, const AM_MEDIA_TYPE& ours) {
  if (!IsEqualGUID(asked.majortype, GUID_NULL) && !IsEqualGUID(asked.majortype, ours.majortype)) return false;
  if (!IsEqualGUID(asked.subtype, GUID_NULL) && !IsEqualGUID(asked.subtype, ours.subtype)) return false;
  if (IsEqualGUID(asked.formattype, GUID_NULL)) return true;
  if (!IsEqualGUID(asked.formattype, ours.formattype)) return false;
  return !asked.pbFormat || FindFormat(asked) == FindFormat(ours);
}

}  // namespace

VideoPin::VideoPin(PinHost* host, const WCHAR* name, const GUID& category, bool rgbOnly)
    : host_(host), category_(category), rgbOnly_(rgbOnly) {
  lstrcpynW(name_, name, MAX_PIN_NAME);
  InitializeCriticalSection(&lock_);
}

VideoPin::~VideoPin() {
  Inactive();
  ReleaseConnection();
  DeleteCriticalSection(&lock_);
}

// ---- IUnknown -------------------------------------------------------------------

STDMETHODIMP VideoPin::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  void* p = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin))
    p = static_cast<IPin*>(this);
  else if (IsEqualIID(iid, IID_IKsPropertySet))
    p = static_cast<IKsPropertySet*>(this);
  else if (IsEqualIID(iid, IID_IAMStreamConfig))
    p = static_cast<IAMStreamConfig*>(this);
  else if (IsEqualIID(iid, IID_IAMDroppedFrames) &&
           !(StreamSetting(Z9B_STREAM_FAULTS, 0) & Z9B_STREAM_NO_DROPPED_FRAMES))
    p = static_cast<IAMDroppedFrames*>(this);
  else if (IsEqualIID(iid, IID_ISpecifyPropertyPages))
    p = static_cast<ISpecifyPropertyPages*>(this);
  *out = p;
  if (!p) return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) VideoPin::AddRef() { return host_->Filter()->AddRef(); }
STDMETHODIMP_(ULONG) VideoPin::Release() { return host_->Filter()->Release(); }

// ---- connection -------------------------------------------------------------------

void VideoPin::PinFormat(size_t* index, REFERENCE_TIME* frameTime) {
  host_->CurrentFormat(index, frameTime);
  if (rgbOnly_) *index = RgbFormatOf(*index);
}

void VideoPin::OwnCounts(LONG* delivered, LONG* dropped) {
  *delivered = InterlockedCompareExchange(&delivered_, 0, 0);
  *dropped = InterlockedCompareExchange(&dropped_, 0, 0);
}

LONG VideoPin::DroppedNumbers(LONG* frames, LONG size) {
  const LONG total = InterlockedCompareExchange(&dropped_, 0, 0);
  const LONG kept = total < kDroppedKept ? total : kDroppedKept;
  const LONG n = kept < size ? kept : size;
  // The most recent ones, oldest first.
  for (LONG i = 0; i < n; ++i) frames[i] = droppedNumbers_[(total - n + i) % kDroppedKept];
  return n;
}

bool VideoPin::IsConnected() {
  Lock l(&lock_);
  return connected_ != nullptr;
}

void VideoPin::ReleaseConnection() {
  ReleaseAndClear(&allocator_);
  ReleaseAndClear(&input_);
  ReleaseAndClear(&connected_);
  ClearMediaType(&mt_);
  std::memset(&mt_, 0, sizeof mt_);
}

HRESULT VideoPin::NegotiateAllocator(IPin* receive, const AM_MEDIA_TYPE& mt) {
  HRESULT hr = receive->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input_));
  if (FAILED(hr)) return VFW_E_NO_TRANSPORT;
  ALLOCATOR_PROPERTIES need{};
  input_->GetAllocatorRequirements(&need);
  ALLOCATOR_PROPERTIES want{};
  want.cBuffers = need.cBuffers > 3 ? need.cBuffers : 3;
  want.cbBuffer = need.cbBuffer > static_cast<LONG>(mt.lSampleSize) ? need.cbBuffer : static_cast<LONG>(mt.lSampleSize);
  want.cbAlign = need.cbAlign > 1 ? need.cbAlign : 1;
  want.cbPrefix = need.cbPrefix;

  // The downstream pin's allocator first, then one of our own.
  for (int attempt = 0; attempt < 2; ++attempt) {
    IMemAllocator* a = nullptr;
    hr = attempt == 0 ? input_->GetAllocator(&a)
                      : CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                         reinterpret_cast<void**>(&a));
    if (FAILED(hr) || !a) continue;
    ALLOCATOR_PROPERTIES got{};
    hr = a->SetProperties(&want, &got);
    if (SUCCEEDED(hr) && got.cbBuffer < static_cast<LONG>(mt.lSampleSize)) hr = VFW_E_SIZENOTSET;
    if (SUCCEEDED(hr)) hr = input_->NotifyAllocator(a, FALSE);
    if (SUCCEEDED(hr)) {
      allocator_ = a;
      return S_OK;
    }
    a->Release();
  }
  return FAILED(hr) ? hr : VFW_E_NO_ALLOCATOR;
}

STDMETHODIMP VideoPin::Connect(IPin* receive, const AM_MEDIA_TYPE* asked) {
  if (!receive) return E_POINTER;
  Lock l(&lock_);
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (host_->StreamState() != State_Stopped) return VFW_E_NOT_STOPPED;
  size_t index = 0;
  REFERENCE_TIME frameTime = 0;
  PinFormat(&index, &frameTime);
  AM_MEDIA_TYPE mt{};
  HRESULT hr = BuildMediaType(index, frameTime, &mt);
  if (FAILED(hr)) return hr;
  if (asked && !Admits(*asked, mt)) {
    ClearMediaType(&mt);
    return VFW_E_NO_ACCEPTABLE_TYPES;
  }
  hr = receive->ReceiveConnection(this, &mt);
  if (FAILED(hr)) {
    ClearMediaType(&mt);
    return hr;
  }
  connected_ = receive;
  connected_->AddRef();
  mt_ = mt;
  hr = NegotiateAllocator(receive, mt_);
  if (FAILED(hr)) {
    receive->Disconnect();
    ReleaseConnection();
  }
  return hr;
}

STDMETHODIMP VideoPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

STDMETHODIMP VideoPin::Disconnect() {
  Lock l(&lock_);
  if (host_->StreamState() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!connected_) return S_FALSE;
  ReleaseConnection();
  return S_OK;
}

STDMETHODIMP VideoPin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  Lock l(&lock_);
  *pin = connected_;
  if (!connected_) return VFW_E_NOT_CONNECTED;
  connected_->AddRef();
  return S_OK;
}

STDMETHODIMP VideoPin::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  Lock l(&lock_);
  if (!connected_) {
    std::memset(mt, 0, sizeof *mt);
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(mt_, mt);
}

STDMETHODIMP VideoPin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = host_->Filter();
  info->pFilter->AddRef();
  info->dir = PINDIR_OUTPUT;
  lstrcpynW(info->achName, name_, MAX_PIN_NAME);
  return S_OK;
}

STDMETHODIMP VideoPin::QueryDirection(PIN_DIRECTION* dir) {
  if (!dir) return E_POINTER;
  *dir = PINDIR_OUTPUT;
  return S_OK;
}

STDMETHODIMP VideoPin::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  const size_t bytes = (static_cast<size_t>(lstrlenW(name_)) + 1) * sizeof(WCHAR);
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*id) return E_OUTOFMEMORY;
  std::memcpy(*id, name_, bytes);
  return S_OK;
}

STDMETHODIMP VideoPin::QueryAccept(const AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  return FindFormat(*mt) >= 0 ? S_OK : S_FALSE;
}

STDMETHODIMP VideoPin::EnumMediaTypes(IEnumMediaTypes** types) {
  size_t index = 0;
  REFERENCE_TIME frameTime = 0;
  PinFormat(&index, &frameTime);
  return MediaTypeEnumerator::Create(index, frameTime, types);
}

STDMETHODIMP VideoPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP VideoPin::EndOfStream() { return E_UNEXPECTED; }
STDMETHODIMP VideoPin::BeginFlush() { return E_UNEXPECTED; }
STDMETHODIMP VideoPin::EndFlush() { return E_UNEXPECTED; }
STDMETHODIMP VideoPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

// ---- streaming ------------------------------------------------------------------------

HRESULT VideoPin::Active() {
  Lock l(&lock_);
  if (!connected_ || thread_) return S_OK;
  REFERENCE_TIME frameTime = 0;
  PinFormat(&format_, &frameTime);
  dropEvery_ = StreamSetting(Z9B_STREAM_DROP_EVERY, 0);
  InterlockedExchange(&delivered_, 0);
  InterlockedExchange(&dropped_, 0);
  discontinuity_ = true;
  HRESULT hr = allocator_->Commit();
  if (FAILED(hr)) return hr;
  stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (stop_) thread_ = CreateThread(nullptr, 0, ThreadEntry, this, 0, nullptr);
  if (!thread_) {
    hr = HRESULT_FROM_WIN32(GetLastError());
    if (stop_) CloseHandle(stop_);
    stop_ = nullptr;
    allocator_->Decommit();
    return hr;
  }
  return S_OK;
}

void VideoPin::Inactive() {
  HANDLE thread = nullptr, stop = nullptr;
  IMemAllocator* allocator = nullptr;
  {
    Lock l(&lock_);
    thread = thread_;
    stop = stop_;
    allocator = allocator_;
    if (allocator) allocator->AddRef();
  }
  if (thread) {
    SetEvent(stop);
    // A thread waiting for a buffer wakes up when the allocator is decommitted.
    if (allocator) allocator->Decommit();
    WaitForSingleObject(thread, INFINITE);
    Lock l(&lock_);
    CloseHandle(thread_);
    CloseHandle(stop_);
    thread_ = stop_ = nullptr;
  }
  if (allocator) allocator->Release();
}

DWORD WINAPI VideoPin::ThreadEntry(void* self) {
  // The thread may create COM objects downstream (a renderer's window).
  const HRESULT co = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  static_cast<VideoPin*>(self)->Stream();
  if (SUCCEEDED(co)) CoUninitialize();
  return 0;
}

void VideoPin::NoteDropped(uint32_t number) {
  const LONG n = InterlockedIncrement(&dropped_);
  droppedNumbers_[(n - 1) % kDroppedKept] = static_cast<LONG>(number);
}

// Frames are due every frame time after the first; a thread that falls more
// than a frame behind starts counting again from now rather than rushing.
void VideoPin::Stream() {
  size_t index = 0;
  REFERENCE_TIME frameTime = 0;
  host_->CurrentFormat(&index, &frameTime);
  if (frameTime <= 0) frameTime = kDefaultFrameTime;
  const DWORD periodMs = static_cast<DWORD>(frameTime / 10000) > 0 ? static_cast<DWORD>(frameTime / 10000) : 1;
  DWORD origin = GetTickCount();
  ULONGLONG due = 0;  // frames since origin
  uint32_t number = 0;
  for (;;) {
    const DWORD now = GetTickCount();
    const ULONGLONG dueMs = due * static_cast<ULONGLONG>(frameTime) / 10000ull;
    const ULONGLONG elapsed = static_cast<DWORD>(now - origin);
    DWORD wait = 0;
    if (dueMs > elapsed) {
      wait = static_cast<DWORD>(dueMs - elapsed);
    } else if (elapsed - dueMs > periodMs) {
      origin = now;
      due = 0;
    }
    if (WaitForSingleObject(stop_, wait) == WAIT_OBJECT_0) break;
    ++due;
    // A live source: nothing is captured while paused.
    if (host_->StreamState() != State_Running) continue;
    ++number;
    if (dropEvery_ && number % dropEvery_ == 0) {
      NoteDropped(number);
      continue;
    }
    DeliverOne(number, frameTime, number - 1);
  }
}

void VideoPin::DeliverOne(uint32_t number, REFERENCE_TIME frameTime, ULONGLONG index) {
  IMediaSample* sample = nullptr;
  if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0)) || !sample) {
    NoteDropped(number);
    return;
  }
  BYTE* data = nullptr;
  DWORD written = 0;
  if (SUCCEEDED(sample->GetPointer(&data)) && data) {
    written = painter_.Paint(FormatAt(format_), number, data, static_cast<DWORD>(sample->GetSize()));
  }
  if (!written) {
    sample->Release();
    NoteDropped(number);
    return;
  }
  sample->SetActualDataLength(static_cast<LONG>(written));
  REFERENCE_TIME start = 0;
  if (!host_->StreamTime(&start)) start = static_cast<REFERENCE_TIME>(index) * frameTime;
  REFERENCE_TIME end = start + frameTime;
  sample->SetTime(&start, &end);
  LONGLONG mediaStart = static_cast<LONGLONG>(index), mediaEnd = mediaStart + 1;
  sample->SetMediaTime(&mediaStart, &mediaEnd);
  sample->SetSyncPoint(TRUE);
  sample->SetDiscontinuity(discontinuity_ ? TRUE : FALSE);
  discontinuity_ = false;
  const HRESULT hr = input_->Receive(sample);
  sample->Release();
  if (hr == S_OK || hr == S_FALSE)
    InterlockedIncrement(&delivered_);
  else
    NoteDropped(number);
}

// ---- IKsPropertySet ------------------------------------------------------------------

STDMETHODIMP VideoPin::Set(REFGUID set, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
  return IsEqualGUID(set, AMPROPSETID_Pin) ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

STDMETHODIMP VideoPin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataLength, DWORD* returned) {
  if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (!data) return E_POINTER;
  if (dataLength < sizeof(GUID)) return E_UNEXPECTED;
  std::memcpy(data, &category_, sizeof(GUID));
  if (returned) *returned = sizeof(GUID);
  return S_OK;
}

STDMETHODIMP VideoPin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (!IsEqualGUID(set, AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (support) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

// ---- IAMStreamConfig ------------------------------------------------------------------

STDMETHODIMP VideoPin::SetFormat(AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  if (StreamSetting(Z9B_STREAM_FAULTS, 0) & Z9B_STREAM_FAIL_SETFORMAT) return E_FAIL;
  return host_->SetStreamFormat(*mt);
}

STDMETHODIMP VideoPin::GetFormat(AM_MEDIA_TYPE** mt) {
  if (!mt) return E_POINTER;
  *mt = nullptr;
  const DWORD faults = StreamSetting(Z9B_STREAM_FAULTS, 0);
  if (faults & Z9B_STREAM_FAIL_GETFORMAT) return E_FAIL;
  size_t index = 0;
  REFERENCE_TIME frameTime = 0;
  host_->CurrentFormat(&index, &frameTime);
  const HRESULT hr = NewMediaType(index, frameTime, mt);
  if (SUCCEEDED(hr) && (faults & Z9B_STREAM_ZERO_FRAME_TIME))
    reinterpret_cast<VIDEOINFOHEADER*>((*mt)->pbFormat)->AvgTimePerFrame = 0;
  return hr;
}

STDMETHODIMP VideoPin::GetNumberOfCapabilities(int* count, int* size) {
  if (!count || !size) return E_POINTER;
  *count = static_cast<int>(FormatCount());
  *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
  return S_OK;
}

STDMETHODIMP VideoPin::GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) {
  if (!mt || !caps) return E_POINTER;
  *mt = nullptr;
  if (index < 0 || static_cast<size_t>(index) >= FormatCount()) return S_FALSE;
  const HRESULT hr = NewMediaType(static_cast<size_t>(index), kDefaultFrameTime, mt);
  if (FAILED(hr)) return hr;
  const VideoFormat& f = FormatAt(static_cast<size_t>(index));
  VIDEO_STREAM_CONFIG_CAPS c{};
  c.guid = FORMAT_VideoInfo;
  c.VideoStandard = AnalogVideo_None;
  c.InputSize = c.MinCroppingSize = c.MaxCroppingSize = c.MinOutputSize = c.MaxOutputSize = {f.width, f.height};
  c.CropGranularityX = c.CropGranularityY = c.CropAlignX = c.CropAlignY = 1;
  c.OutputGranularityX = c.OutputGranularityY = 1;
  c.MinFrameInterval = kMinFrameTime;
  c.MaxFrameInterval = kMaxFrameTime;
  c.MinBitsPerSecond = static_cast<LONG>(FrameBytes(f) * 8ull * 10000000ull / kMaxFrameTime);
  c.MaxBitsPerSecond = static_cast<LONG>(FrameBytes(f) * 8ull * 10000000ull / kMinFrameTime);
  std::memcpy(caps, &c, sizeof c);
  return S_OK;
}

// ---- IAMDroppedFrames ------------------------------------------------------------------

// The counters are the camera's: the frames of every pin together, so that
// the capture pin tells the rate also while only the preview pin streams.
STDMETHODIMP VideoPin::GetNumDropped(LONG* dropped) {
  if (!dropped) return E_POINTER;
  LONG delivered = 0;
  host_->FrameCounts(&delivered, dropped);
  *dropped += static_cast<LONG>(StreamSetting(Z9B_STREAM_DROPPED_OFFSET, 0));
  return S_OK;
}

STDMETHODIMP VideoPin::GetNumNotDropped(LONG* delivered) {
  if (!delivered) return E_POINTER;
  LONG dropped = 0;
  host_->FrameCounts(delivered, &dropped);
  return S_OK;
}

STDMETHODIMP VideoPin::GetDroppedInfo(LONG size, LONG* frames, LONG* copied) {
  if (!frames || !copied) return E_POINTER;
  if (size <= 0) return E_INVALIDARG;
  *copied = DroppedNumbers(frames, size);
  return S_OK;
}

STDMETHODIMP VideoPin::GetAverageFrameSize(LONG* size) {
  if (!size) return E_POINTER;
  size_t index = 0;
  REFERENCE_TIME frameTime = 0;
  PinFormat(&index, &frameTime);
  *size = static_cast<LONG>(FrameBytes(FormatAt(index)));
  return S_OK;
}

// ---- ISpecifyPropertyPages ---------------------------------------------------------------

STDMETHODIMP VideoPin::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->cElems = 0;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (!pages->pElems) return E_OUTOFMEMORY;
  WCHAR text[64] = {};
  MultiByteToWideChar(CP_ACP, 0, Z9B_FORMAT_PAGE_CLSID, -1, text, 64);
  if (FAILED(CLSIDFromString(text, pages->pElems))) {
    CoTaskMemFree(pages->pElems);
    pages->pElems = nullptr;
    return E_UNEXPECTED;
  }
  pages->cElems = 1;
  return S_OK;
}

}  // namespace z9proxy
