#include "preview_graph.h"

#include <olectl.h>

#include <cstdio>
#include <cstring>

#include "stream_format.h"

namespace z9twn {

namespace {

void FreeMediaType(AM_MEDIA_TYPE* mt) {
  if (mt == nullptr) return;
  if (mt->cbFormat != 0 && mt->pbFormat != nullptr) CoTaskMemFree(mt->pbFormat);
  mt->cbFormat = 0;
  mt->pbFormat = nullptr;
  if (mt->pUnk != nullptr) {
    mt->pUnk->Release();
    mt->pUnk = nullptr;
  }
  CoTaskMemFree(mt);
}

// A VIDEOINFOHEADER block of a media type, or nullptr.
VIDEOINFOHEADER* VideoInfoOf(AM_MEDIA_TYPE* mt) {
  if (mt == nullptr || !IsEqualGUID(mt->formattype, FORMAT_VideoInfo) || mt->pbFormat == nullptr ||
      mt->cbFormat < sizeof(VIDEOINFOHEADER))
    return nullptr;
  return reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat);
}

// A property-bag string as ANSI text, cut to `size` bytes.
void ReadBagText(IPropertyBag* bag, const wchar_t* name, char* out, size_t size) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  if (SUCCEEDED(bag->Read(name, &v, nullptr)) && v.vt == VT_BSTR && v.bstrVal != nullptr) {
    if (WideCharToMultiByte(CP_ACP, 0, v.bstrVal, -1, out, static_cast<int>(size), nullptr, nullptr) == 0)
      out[size - 1] = '\0';
  }
  VariantClear(&v);
  out[size - 1] = '\0';
}

constexpr LONG kRunCheckMs = 500;

}  // namespace

PreviewGraph::PreviewGraph(const char* deviceName, const GrabTexts& texts, Notifier* notifier)
    : deviceName_(deviceName), texts_(texts), notifier_(notifier) {}

PreviewGraph::~PreviewGraph() {
  StopGraph();
  Sleep(500);
  if (camera_) RemoveDownstream(camera_.get());
  dropped_.reset();
  if (videoWindow_) {
    videoWindow_->put_Owner(0);
    videoWindow_->put_Visible(OAFALSE);
    videoWindow_.reset();
  }
  streamConfig_.reset();
  properties_.reset();
  camera_.reset();
  graph_.reset();
  builder_.reset();
  still_.Free();
}

int PreviewGraph::BuildGraph() {
  // 1. Fields as new.
  camera_.reset();
  properties_.reset();
  streamConfig_.reset();
  videoWindow_.reset();
  dropped_.reset();
  noPreviewPin_ = false;
  frameRate_ = 30;
  droppedBefore_ = deliveredBefore_ = 0;
  classIdText_[0] = friendlyText_[0] = '\0';
  still_.Free();

  // 2. The graph builder.
  if (!builder_ && FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_ICaptureGraphBuilder, builder_.put_void())))
    return 0;

  // 3-5. The video input devices.
  z9::ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                              devices.put_void()))) {
    notifier_->ShowMessage(nullptr, "ERROR 265:9791", 0);
    return 0;
  }
  z9::ComPtr<IEnumMoniker> monikers;
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0) != S_OK || !monikers) {
    notifier_->ShowMessage(nullptr, "ERROR 278:9791", 0);
    return 0;
  }
  devices.reset();
  monikers->Reset();

  // 6. The first device with the configured name and the proxy's class id.
  for (;;) {
    z9::ComPtr<IMoniker> moniker;
    ULONG fetched = 0;
    if (monikers->Next(1, moniker.put(), &fetched) != S_OK || !moniker) break;
    classIdText_[0] = friendlyText_[0] = '\0';
    z9::ComPtr<IPropertyBag> bag;
    if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void())) && bag) {
      ReadBagText(bag.get(), L"FriendlyName", friendlyText_, sizeof friendlyText_);
      ReadBagText(bag.get(), L"CLSID", classIdText_, sizeof classIdText_);
    }
    bag.reset();
    if (std::strcmp(friendlyText_, deviceName_) == 0 && std::strcmp(classIdText_, kProxyClassIdText) == 0) {
      moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, camera_.put_void());
      break;
    }
  }
  monikers.reset();

  // 8. None found.
  if (!camera_) {
    notifier_->ShowMessage(nullptr, "ERROR 345:9791", 0);
    return 0;
  }

  // 9. The still channel (a missing one fails each still request later).
  camera_.As(IID_IKsPropertySet, &properties_);

  // 10. The filter graph around the camera.
  if (!graph_ && FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         graph_.put_void())))
    return 0;
  if (FAILED(builder_->SetFiltergraph(graph_.get()))) return 0;
  if (FAILED(graph_->AddFilter(camera_.get(), nullptr))) return 0;

  // 11. The capture pin's stream configuration.
  builder_->FindInterface(&PIN_CATEGORY_CAPTURE, camera_.get(), IID_IAMStreamConfig, streamConfig_.put_void());
  return 1;
}

int PreviewGraph::ConnectPreview() {
  if (!builder_ || !camera_) return 0;
  // 1. The preview, split off the capture pin when there is no preview pin.
  const HRESULT rendered = builder_->RenderStream(&PIN_CATEGORY_PREVIEW, camera_.get(), nullptr, nullptr);
  if (rendered == VFW_S_NOPREVIEWPIN) noPreviewPin_ = true;

  // 2. The video window.
  videoWindow_.reset();
  if (FAILED(builder_->FindInterface(noPreviewPin_ ? &PIN_CATEGORY_CAPTURE : &PIN_CATEGORY_PREVIEW, camera_.get(),
                                     IID_IVideoWindow, videoWindow_.put_void())) ||
      !videoWindow_) {
    notifier_->ShowMessage(nullptr, "ERROR 466:9791", 0);
    return 0;
  }

  // 3. The frame rate.
  if (streamConfig_) {
    AM_MEDIA_TYPE* mt = nullptr;
    if (SUCCEEDED(streamConfig_->GetFormat(&mt)) && mt != nullptr) {
      if (VIDEOINFOHEADER* vih = VideoInfoOf(mt)) {
        const int64_t perFrame = TimePerFrameOf(frameRate_);
        if (perFrame > 0) vih->AvgTimePerFrame = perFrame;
        if (FAILED(streamConfig_->SetFormat(mt))) notifier_->ShowMessage(nullptr, texts_.msgString3, MB_ICONWARNING);
      }
      FreeMediaType(mt);
    }
  }

  // 4. The frame counters.
  dropped_.reset();
  if (FAILED(builder_->FindInterface(&PIN_CATEGORY_CAPTURE, camera_.get(), IID_IAMDroppedFrames,
                                     dropped_.put_void())) ||
      !dropped_) {
    notifier_->ShowMessage(nullptr, texts_.msgString4, MB_ICONERROR);
    return 0;
  }
  droppedBefore_ = deliveredBefore_ = 0;

  // 5. The stream format.
  ReadStreamFormat();
  return 1;
}

void PreviewGraph::ReadStreamFormat() {
  if (streamConfig_) {
    AM_MEDIA_TYPE* mt = nullptr;
    if (FAILED(streamConfig_->GetFormat(&mt)) || mt == nullptr) {
      notifier_->ShowMessage(nullptr, texts_.msgString13, MB_ICONERROR);
    } else {
      if (const VIDEOINFOHEADER* vih = VideoInfoOf(mt)) {
        width_ = vih->bmiHeader.biWidth;
        height_ = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
        frameRate_ = FrameRateOf(vih->AvgTimePerFrame, frameRate_);
        formatCode_ = FormatCodeOfSubtype(mt->subtype);
      }
      FreeMediaType(mt);
    }
  }
  sizeCode_ = SizeCodeOfWidth(width_);
}

void PreviewGraph::PlaceVideoWindow(HWND pane) {
  if (!videoWindow_ || pane == nullptr) return;
  RECT r = {};
  GetClientRect(pane, &r);
  videoWindow_->put_Owner(reinterpret_cast<OAHWND>(pane));
  videoWindow_->put_WindowStyle(WS_CHILD);
  videoWindow_->SetWindowPosition(0, 0, r.right - r.left, r.bottom - r.top);
  videoWindow_->put_Visible(OATRUE);
}

int PreviewGraph::RunGraph() {
  if (!graph_) return 0;
  z9::ComPtr<IMediaControl> control;
  bool ran = false;
  if (SUCCEEDED(graph_.As(IID_IMediaControl, &control)) && control) {
    // Some graphs report a filter that refuses to run only when asked for
    // the state: a preview that never starts counts as a failed run.
    OAFilterState state = State_Stopped;
    if (SUCCEEDED(control->Run()) && SUCCEEDED(control->GetState(kRunCheckMs, &state)))
      ran = true;
    else
      control->Stop();
  }
  if (!ran) {
    notifier_->ShowMessage(nullptr, texts_.msgString5, MB_ICONERROR);
    return 0;
  }
  return 1;
}

int PreviewGraph::PauseGraph() {
  z9::ComPtr<IMediaControl> control;
  if (!graph_ || FAILED(graph_.As(IID_IMediaControl, &control)) || !control) return 0;
  return SUCCEEDED(control->Pause()) ? 1 : 0;
}

int PreviewGraph::StopGraph() {
  z9::ComPtr<IMediaControl> control;
  if (!graph_ || FAILED(graph_.As(IID_IMediaControl, &control)) || !control) return 0;
  if (FAILED(control->Stop())) return 0;
  if (videoWindow_) videoWindow_->put_Visible(OAFALSE);
  return 1;
}

void PreviewGraph::RemoveDownstream(IBaseFilter* filter) {
  if (filter == nullptr || !graph_) return;
  z9::ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.put())) || !pins) return;
  pins->Reset();
  for (;;) {
    z9::ComPtr<IPin> pin;
    ULONG fetched = 0;
    if (pins->Next(1, pin.put(), &fetched) != S_OK || !pin) break;
    z9::ComPtr<IPin> connected;
    if (FAILED(pin->ConnectedTo(connected.put())) || !connected) continue;
    PIN_INFO info = {};
    if (FAILED(connected->QueryPinInfo(&info))) continue;
    z9::ComPtr<IBaseFilter> next = z9::ComPtr<IBaseFilter>::Attach(info.pFilter);
    if (info.dir == PINDIR_INPUT) {
      RemoveDownstream(next.get());
      graph_->Disconnect(connected.get());
      graph_->Disconnect(pin.get());
      graph_->RemoveFilter(next.get());
    }
  }
}

void PreviewGraph::TearDownPreview() {
  dropped_.reset();
  if (videoWindow_) {
    videoWindow_->put_Owner(0);
    videoWindow_->put_Visible(OAFALSE);
    videoWindow_.reset();
  }
  if (camera_) RemoveDownstream(camera_.get());
  noPreviewPin_ = false;
}

void PreviewGraph::ShowPages(HWND owner, IUnknown* pagesOwner, IUnknown* object) {
  z9::ComPtr<ISpecifyPropertyPages> specify;
  if (pagesOwner == nullptr ||
      FAILED(pagesOwner->QueryInterface(IID_ISpecifyPropertyPages, specify.put_void())) || !specify)
    return;
  CAUUID pages = {};
  if (SUCCEEDED(specify->GetPages(&pages))) {
    IUnknown* objects[1] = {object};
    OleCreatePropertyFrame(owner, 30, 30, nullptr, 1, objects, pages.cElems, pages.pElems, 0, 0, nullptr);
  }
  if (pages.pElems != nullptr) CoTaskMemFree(pages.pElems);
}

void PreviewGraph::ShowFormatPages(HWND owner) {
  StopGraph();
  if (noPreviewPin_) TearDownPreview();
  if (builder_ && camera_) {
    z9::ComPtr<IAMStreamConfig> config;
    builder_->FindInterface(&PIN_CATEGORY_CAPTURE, camera_.get(), IID_IAMStreamConfig, config.put_void());
    if (config) ShowPages(owner, config.get(), config.get());
  }
  ConnectPreview();
  ReadStreamFormat();
}

void PreviewGraph::ShowCameraPages(HWND owner) {
  if (camera_) ShowPages(owner, camera_.get(), camera_.get());
}

void PreviewGraph::StartStatistics() { referenceTick_ = GetTickCount(); }

bool PreviewGraph::UpdateStatistics(char* text, size_t size) {
  if (!dropped_) return false;
  long dropped = 0, delivered = 0;
  dropped_->GetNumDropped(&dropped);
  dropped_->GetNumNotDropped(&delivered);
  const long deliveredDiff = delivered - deliveredBefore_;
  const long droppedDiff = dropped - droppedBefore_;
  deliveredBefore_ = delivered;
  droppedBefore_ = dropped;
  const DWORD now = GetTickCount();
  DWORD elapsed = now - referenceTick_;
  referenceTick_ = now;
  if (elapsed == 0) elapsed = 1;
  std::snprintf(text, size, "%2.1f %2.1f", deliveredDiff * 1000.0 / elapsed, droppedDiff * 1000.0 / elapsed);
  return true;
}

void PreviewGraph::QueryStillBufferSize() {
  const uint32_t size = z9twn::QueryStillBufferSize(properties_.get());
  if (!still_.Allocate(size)) still_.Allocate(kStillBufferSizeFallback);
}

bool PreviewGraph::TakeStill(StillPicture* out) {
  return z9twn::TakeStill(properties_.get(), &still_, texts_, notifier_, out);
}

}  // namespace z9twn
