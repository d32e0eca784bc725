// The stand-in capture filter's video pins in graphs built by Wine's own
// capture graph builder: pin categories, formats, preview with and without a
// preview pin (Smart Tee), frames reaching the renderer at the format's rate,
// the dropped-frame counters the bench steers, and the bench's format page.
#include <objbase.h>
#include <strmif.h>
#include <control.h>
#include <amvideo.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <olectl.h>
#include <prsht.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "bench_fixture.h"
#include "bench_stream.h"
#include "com_ptr.h"
#include "stream_control.h"
#include "wintest.h"

#ifndef Z9_PICTURES_DIR
#define Z9_PICTURES_DIR ""
#endif

using namespace benchtest;

namespace {

const CLSID kClsidProxy = {0x17CCA71B, 0xECD7, 0x11D0, {0xB9, 0x08, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const CLSID kClsidFormatPage = {0x5E1A7C20, 0x3B9D, 0x4C61, {0x9A, 0x0E, 0x7F, 0x2B, 0x6D, 0x4C, 0x1A, 0x01}};

std::string Narrow(const WCHAR* w) {
  char text[256] = {};
  WideCharToMultiByte(CP_ACP, 0, w, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

const VIDEOINFOHEADER* Vih(const AM_MEDIA_TYPE* mt) {
  return mt && IsEqualGUID(mt->formattype, FORMAT_VideoInfo) && mt->cbFormat >= sizeof(VIDEOINFOHEADER)
             ? reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat)
             : nullptr;
}

void FreeType(AM_MEDIA_TYPE* mt) {
  if (!mt) return;
  if (mt->pbFormat) CoTaskMemFree(mt->pbFormat);
  if (mt->pUnk) mt->pUnk->Release();
  CoTaskMemFree(mt);
}

// The four characters of a FourCC subtype, "RGB24" for RGB24.
std::string SubtypeName(const GUID& g) {
  if (IsEqualGUID(g, MEDIASUBTYPE_RGB24)) return "RGB24";
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>((g.Data1 >> (8 * i)) & 0xFF);
  return s;
}

class VideoStream : public BenchTest {
 protected:
  void SetUp() override {
    BenchTest::SetUp();
    ASSERT_TRUE(z9bench::ResetStreamSettings());
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  }
  void TearDown() override {
    if (control) control->Stop();
    control.reset();
    builder.reset();
    graph.reset();
    filter.reset();
    CoUninitialize();
    z9bench::ResetStreamSettings();
    BenchTest::TearDown();
  }

  void MakeFilter(bool previewPin = true, uint32_t dropEvery = 0, uint32_t droppedOffset = 0) {
    z9bench::StreamSettings s;
    s.previewPin = previewPin;
    s.dropEvery = dropEvery;
    s.droppedOffset = droppedOffset;
    ASSERT_TRUE(z9bench::SetStreamSettings(s));
    ASSERT_TRUE(SUCCEEDED(
        CoCreateInstance(kClsidProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put_void())));
  }

  // Filter graph with the filter and a capture graph builder on it.
  void MakeGraph() {
    ASSERT_TRUE(SUCCEEDED(
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.put_void())));
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_ICaptureGraphBuilder2, builder.put_void())));
    ASSERT_TRUE(SUCCEEDED(builder->SetFiltergraph(graph.get())));
    ASSERT_TRUE(SUCCEEDED(graph->AddFilter(filter.get(), L"Camera")));
    ASSERT_TRUE(SUCCEEDED(graph->QueryInterface(IID_IMediaControl, control.put_void())));
  }

  HRESULT RenderPreview() {
    return builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, filter.get(), nullptr, nullptr);
  }

  void Pin(const WCHAR* id, ComPtr<IPin>* pin) { ASSERT_EQ(filter->FindPin(id, pin->put()), S_OK); }

  template <class T>
  void PinInterface(const WCHAR* id, REFIID iid, ComPtr<T>* out) {
    ComPtr<IPin> pin;
    Pin(id, &pin);
    ASSERT_TRUE(pin);
    ASSERT_EQ(pin->QueryInterface(iid, out->put_void()), S_OK);
  }

  // Sets format `index` of the pin's capabilities at `frameTime`.
  HRESULT SetCaps(IAMStreamConfig* config, int index, REFERENCE_TIME frameTime) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    HRESULT hr = config->GetStreamCaps(index, &mt, reinterpret_cast<BYTE*>(&caps));
    if (hr != S_OK) return E_FAIL;
    reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat)->AvgTimePerFrame = frameTime;
    hr = config->SetFormat(mt);
    FreeType(mt);
    return hr;
  }

  // Index of the capability with this subtype and size.
  int FindCaps(IAMStreamConfig* config, const std::string& subtype, LONG width, LONG height) {
    int count = 0, size = 0;
    config->GetNumberOfCapabilities(&count, &size);
    for (int i = 0; i < count; ++i) {
      AM_MEDIA_TYPE* mt = nullptr;
      VIDEO_STREAM_CONFIG_CAPS caps{};
      if (config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)) != S_OK) continue;
      const VIDEOINFOHEADER* v = Vih(mt);
      const bool same = v && SubtypeName(mt->subtype) == subtype && v->bmiHeader.biWidth == width &&
                        v->bmiHeader.biHeight == height;
      FreeType(mt);
      if (same) return i;
    }
    return -1;
  }

  LONG Delivered(IAMDroppedFrames* counters) {
    LONG n = -1;
    EXPECT_EQ(counters->GetNumNotDropped(&n), S_OK);
    return n;
  }

  bool HasFilterOfClass(const CLSID& clsid) {
    ComPtr<IEnumFilters> filters;
    if (FAILED(graph->EnumFilters(filters.put()))) return false;
    for (;;) {
      ComPtr<IBaseFilter> f;
      if (filters->Next(1, f.put(), nullptr) != S_OK) return false;
      CLSID c{};
      if (SUCCEEDED(f->GetClassID(&c)) && IsEqualCLSID(c, clsid)) return true;
    }
  }

  // What the dialog does before rebuilding a split-off preview: disconnect and
  // remove every filter that follows `f`, depth first.
  void RemoveDownstream(IBaseFilter* f) {
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(f->EnumPins(pins.put()), S_OK);
    for (;;) {
      ComPtr<IPin> pin, peer;
      if (pins->Next(1, pin.put(), nullptr) != S_OK) break;
      if (pin->ConnectedTo(peer.put()) != S_OK) continue;
      PIN_INFO info{};
      ASSERT_EQ(peer->QueryPinInfo(&info), S_OK);
      if (info.dir == PINDIR_INPUT) {
        RemoveDownstream(info.pFilter);
        graph->Disconnect(peer.get());
        graph->Disconnect(pin.get());
        graph->RemoveFilter(info.pFilter);
      }
      info.pFilter->Release();
    }
  }

  LONG CaptureDelivered() {
    ComPtr<IAMDroppedFrames> counters;
    EXPECT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, filter.get(), IID_IAMDroppedFrames,
                                     counters.put_void()),
              S_OK);
    return counters ? Delivered(counters.get()) : -1;
  }

  ComPtr<IBaseFilter> filter;
  ComPtr<IGraphBuilder> graph;
  ComPtr<ICaptureGraphBuilder2> builder;
  ComPtr<IMediaControl> control;
};

TEST_F(VideoStream, PinsCarryTheirCategoriesAndThePreviewPinCanBeSwitchedOff) {
  MakeFilter();
  struct Want {
    const WCHAR* id;
    const GUID* category;
  } const want[] = {{L"Capture", &PIN_CATEGORY_CAPTURE}, {L"Preview", &PIN_CATEGORY_PREVIEW}};
  ComPtr<IEnumPins> pins;
  ASSERT_EQ(filter->EnumPins(pins.put()), S_OK);
  for (const Want& w : want) {
    ComPtr<IPin> pin;
    ASSERT_EQ(pins->Next(1, pin.put(), nullptr), S_OK);
    PIN_INFO info{};
    ASSERT_EQ(pin->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(Narrow(info.achName), Narrow(w.id));
    EXPECT_EQ(info.dir, PINDIR_OUTPUT);
    EXPECT_EQ(info.pFilter, filter.get());
    if (info.pFilter) info.pFilter->Release();
    ComPtr<IKsPropertySet> props;
    ASSERT_EQ(pin->QueryInterface(IID_IKsPropertySet, props.put_void()), S_OK);
    GUID category{};
    DWORD returned = 0;
    ASSERT_EQ(props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category, &returned),
              S_OK);
    EXPECT_TRUE(IsEqualGUID(category, *w.category));
    EXPECT_EQ(returned, sizeof(GUID));
    EXPECT_EQ(props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 8, &returned),
              E_UNEXPECTED);
    DWORD support = 0;
    EXPECT_EQ(props->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support), S_OK);
    EXPECT_EQ(support, DWORD{KSPROPERTY_SUPPORT_GET});
    EXPECT_TRUE(FAILED(props->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof category)));
  }
  ComPtr<IPin> none;
  EXPECT_EQ(pins->Next(1, none.put(), nullptr), S_FALSE);

  // Switched off: a new object has the capture pin only.
  filter.reset();
  MakeFilter(false);
  ComPtr<IPin> capture, preview;
  EXPECT_EQ(filter->FindPin(L"Capture", capture.put()), S_OK);
  EXPECT_EQ(filter->FindPin(L"Preview", preview.put()), VFW_E_NOT_FOUND);
}

TEST_F(VideoStream, StreamConfigOffersEveryFormatAndSetFormatChangesTypeAndRate) {
  MakeFilter();
  ComPtr<IAMStreamConfig> config, previewConfig;
  PinInterface(L"Capture", IID_IAMStreamConfig, &config);
  PinInterface(L"Preview", IID_IAMStreamConfig, &previewConfig);
  ASSERT_TRUE(config && previewConfig);
  int count = 0, size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  EXPECT_EQ(size, static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
  const struct {
    const char* subtype;
    LONG w, h;
  } offered[] = {{"RGB24", 640, 480}, {"RGB24", 352, 288}, {"RGB24", 320, 240}, {"RGB24", 176, 144},
                 {"RGB24", 160, 120}, {"RGB24", 1280, 960}, {"YUY2", 640, 480}, {"UYVY", 640, 480},
                 {"RAWD", 640, 480},  {"NJP4", 640, 480},  {"NJP2", 320, 240}};
  for (const auto& o : offered)
    EXPECT_GE(FindCaps(config.get(), o.subtype, o.w, o.h), 0) << o.subtype << " " << o.w << "x" << o.h;
  AM_MEDIA_TYPE* mt = nullptr;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  EXPECT_EQ(config->GetStreamCaps(count, &mt, reinterpret_cast<BYTE*>(&caps)), S_FALSE);

  // The default: RGB24 640 x 480 at 30 frames a second.
  ASSERT_EQ(config->GetFormat(&mt), S_OK);
  ASSERT_TRUE(Vih(mt));
  EXPECT_TRUE(IsEqualGUID(mt->majortype, MEDIATYPE_Video));
  EXPECT_TRUE(IsEqualGUID(mt->subtype, MEDIASUBTYPE_RGB24));
  EXPECT_EQ(Vih(mt)->bmiHeader.biWidth, 640);
  EXPECT_EQ(Vih(mt)->bmiHeader.biHeight, 480);
  EXPECT_EQ(Vih(mt)->bmiHeader.biSizeImage, 640u * 480u * 3u);
  EXPECT_EQ(Vih(mt)->AvgTimePerFrame, 333333);
  FreeType(mt);

  // 320 x 240 at 15 frames a second; both pins stream the one format.
  ASSERT_EQ(SetCaps(config.get(), FindCaps(config.get(), "RGB24", 320, 240), 666666), S_OK);
  for (IAMStreamConfig* c : {config.get(), previewConfig.get()}) {
    ASSERT_EQ(c->GetFormat(&mt), S_OK);
    EXPECT_EQ(Vih(mt)->bmiHeader.biWidth, 320);
    EXPECT_EQ(Vih(mt)->AvgTimePerFrame, 666666);
    FreeType(mt);
  }
  ComPtr<IPin> pin;
  Pin(L"Capture", &pin);
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(pin->EnumMediaTypes(types.put()), S_OK);
  ASSERT_EQ(types->Next(1, &mt, nullptr), S_OK);
  EXPECT_EQ(Vih(mt)->bmiHeader.biWidth, 320) << "the current format comes first";
  EXPECT_EQ(pin->QueryAccept(mt), S_OK);
  FreeType(mt);

  // A rate of 0 keeps the rate; unknown sizes and impossible rates are refused.
  ASSERT_EQ(SetCaps(config.get(), FindCaps(config.get(), "YUY2", 640, 480), 0), S_OK);
  ASSERT_EQ(config->GetFormat(&mt), S_OK);
  EXPECT_TRUE(IsEqualGUID(mt->subtype, MEDIASUBTYPE_YUY2));
  EXPECT_EQ(Vih(mt)->AvgTimePerFrame, 666666);
  reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat)->bmiHeader.biWidth = 600;
  EXPECT_EQ(config->SetFormat(mt), VFW_E_INVALIDMEDIATYPE);
  EXPECT_EQ(pin->QueryAccept(mt), S_FALSE);
  reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat)->bmiHeader.biWidth = 640;
  reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat)->AvgTimePerFrame = 1000;
  EXPECT_EQ(config->SetFormat(mt), E_INVALIDARG);
  FreeType(mt);
}

TEST_F(VideoStream, PreviewPinRendersThroughTheCaptureGraphBuilderAndFramesArrive) {
  MakeFilter();
  MakeGraph();
  ASSERT_EQ(RenderPreview(), S_OK);
  ComPtr<IVideoWindow> window;
  ASSERT_EQ(builder->FindInterface(&PIN_CATEGORY_PREVIEW, nullptr, filter.get(), IID_IVideoWindow, window.put_void()),
            S_OK);
  EXPECT_FALSE(HasFilterOfClass(CLSID_SmartTee));
  ComPtr<IPin> capture, peer;
  Pin(L"Capture", &capture);
  EXPECT_EQ(capture->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);

  ComPtr<IAMDroppedFrames> counters;
  PinInterface(L"Preview", IID_IAMDroppedFrames, &counters);
  BSTR caption = SysAllocString(L"Bench live preview");
  window->put_Caption(caption);
  SysFreeString(caption);
  window->SetWindowPosition(0, 0, 660, 520);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  wintest::PumpFor(1500);
  const LONG delivered = Delivered(counters.get());
  if (Z9_PICTURES_DIR[0] != '\0') {
    HWND shown = FindWindowW(nullptr, L"Bench live preview");
    EXPECT_TRUE(shown) << "the renderer's window";
    wintest::MakeDirs(Z9_PICTURES_DIR);
    if (shown) EXPECT_TRUE(wintest::SaveScreenPng(std::string(Z9_PICTURES_DIR) + "\\bench-live-preview.png", shown));
  }
  EXPECT_GE(delivered, 25) << "about 45 frames in 1.5 s at 30 frames a second";
  EXPECT_LE(delivered, 50);
  LONG dropped = -1;
  EXPECT_EQ(counters->GetNumDropped(&dropped), S_OK);
  EXPECT_LE(dropped, 3);
  // The capture pin's counters (where the dialog reads them) are the camera's.
  EXPECT_GE(CaptureDelivered(), delivered);

  // Paused, the live source cannot cue and delivers nothing.
  ASSERT_TRUE(SUCCEEDED(control->Pause()));
  FILTER_STATE state = State_Stopped;
  EXPECT_EQ(filter->GetState(0, &state), VFW_S_CANT_CUE);
  EXPECT_EQ(state, State_Paused);
  Sleep(100);
  const LONG atPause = Delivered(counters.get());
  Sleep(400);
  EXPECT_EQ(Delivered(counters.get()), atPause);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  Sleep(400);
  EXPECT_GT(Delivered(counters.get()), atPause);
  ASSERT_TRUE(SUCCEEDED(control->Stop()));
  EXPECT_EQ(filter->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
}

TEST_F(VideoStream, WithoutAPreviewPinThePreviewIsSplitOffTheCapturePin) {
  MakeFilter(false);
  MakeGraph();
  ASSERT_EQ(RenderPreview(), VFW_S_NOPREVIEWPIN);
  EXPECT_TRUE(HasFilterOfClass(CLSID_SmartTee));
  ComPtr<IPin> capture, peer;
  Pin(L"Capture", &capture);
  ASSERT_EQ(capture->ConnectedTo(peer.put()), S_OK);
  PIN_INFO info{};
  ASSERT_EQ(peer->QueryPinInfo(&info), S_OK);
  CLSID clsid{};
  info.pFilter->GetClassID(&clsid);
  info.pFilter->Release();
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_SmartTee));
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(capture->ConnectionMediaType(&mt), S_OK);
  EXPECT_TRUE(IsEqualGUID(mt.subtype, MEDIASUBTYPE_RGB24));
  if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);

  ComPtr<IVideoWindow> window;
  EXPECT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, filter.get(), IID_IVideoWindow, window.put_void()),
            S_OK);
  ComPtr<IAMDroppedFrames> counters;
  ASSERT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, filter.get(), IID_IAMDroppedFrames,
                                   counters.put_void()),
            S_OK);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  Sleep(1000);
  EXPECT_GE(Delivered(counters.get()), 15);
  ASSERT_TRUE(SUCCEEDED(control->Stop()));
}

TEST_F(VideoStream, FramesComeAtTheRateSetFormatChose) {
  MakeFilter();
  ComPtr<IAMStreamConfig> config;
  PinInterface(L"Capture", IID_IAMStreamConfig, &config);
  ASSERT_EQ(SetCaps(config.get(), FindCaps(config.get(), "RGB24", 320, 240), 1000000), S_OK);  // 10 a second
  MakeGraph();
  ASSERT_EQ(RenderPreview(), S_OK);
  ComPtr<IPin> preview;
  Pin(L"Preview", &preview);
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(preview->ConnectionMediaType(&mt), S_OK);
  EXPECT_EQ(Vih(&mt)->bmiHeader.biWidth, 320);
  EXPECT_EQ(Vih(&mt)->AvgTimePerFrame, 1000000);
  if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);

  ComPtr<IAMDroppedFrames> counters;
  PinInterface(L"Preview", IID_IAMDroppedFrames, &counters);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  Sleep(2000);
  const LONG delivered = Delivered(counters.get());
  ASSERT_TRUE(SUCCEEDED(control->Stop()));
  EXPECT_GE(delivered, 14) << "about 20 frames in 2 s";
  EXPECT_LE(delivered, 23);
}

TEST_F(VideoStream, SetFormatOnAConnectedPinConnectsItAgainWhileStopped) {
  MakeFilter();
  MakeGraph();
  ASSERT_EQ(RenderPreview(), S_OK);
  ComPtr<IAMStreamConfig> config;
  ASSERT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, filter.get(), IID_IAMStreamConfig,
                                   config.put_void()),
            S_OK);
  ASSERT_EQ(SetCaps(config.get(), FindCaps(config.get(), "RGB24", 176, 144), 333333), S_OK);
  ComPtr<IPin> preview;
  Pin(L"Preview", &preview);
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(preview->ConnectionMediaType(&mt), S_OK);
  EXPECT_EQ(Vih(&mt)->bmiHeader.biWidth, 176);
  if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);

  ComPtr<IAMDroppedFrames> counters;
  PinInterface(L"Preview", IID_IAMDroppedFrames, &counters);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  Sleep(600);
  EXPECT_GT(Delivered(counters.get()), 5);
  // Running: a new size waits for a stop; a new rate alone is taken.
  EXPECT_EQ(SetCaps(config.get(), FindCaps(config.get(), "RGB24", 640, 480), 333333), VFW_E_NOT_STOPPED);
  EXPECT_EQ(SetCaps(config.get(), FindCaps(config.get(), "RGB24", 176, 144), 500000), S_OK);
  ASSERT_TRUE(SUCCEEDED(control->Stop()));
}

TEST_F(VideoStream, DroppedFrameCountersFollowTheBench) {
  MakeFilter(true, /*dropEvery*/ 3, /*droppedOffset*/ 1000);
  MakeGraph();
  ASSERT_EQ(RenderPreview(), S_OK);
  ComPtr<IAMDroppedFrames> counters;
  PinInterface(L"Preview", IID_IAMDroppedFrames, &counters);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  Sleep(1200);
  ASSERT_TRUE(SUCCEEDED(control->Stop()));
  LONG dropped = 0;
  ASSERT_EQ(counters->GetNumDropped(&dropped), S_OK);
  const LONG delivered = Delivered(counters.get());
  ASSERT_GE(delivered, 10);
  EXPECT_GE(dropped - 1000, delivered / 2 - 2);
  EXPECT_LE(dropped - 1000, delivered / 2 + 2);
  LONG frames[8] = {}, copied = 0;
  ASSERT_EQ(counters->GetDroppedInfo(8, frames, &copied), S_OK);
  ASSERT_GT(copied, 0);
  for (LONG i = 0; i < copied; ++i) EXPECT_EQ(frames[i] % 3, 0) << frames[i];
  LONG average = 0;
  EXPECT_EQ(counters->GetAverageFrameSize(&average), S_OK);
  EXPECT_EQ(average, 640 * 480 * 3);

  // The offset is read at every query.
  z9bench::StreamSettings s = z9bench::GetStreamSettings();
  s.droppedOffset = 0;
  ASSERT_TRUE(z9bench::SetStreamSettings(s));
  ASSERT_EQ(counters->GetNumDropped(&dropped), S_OK);
  EXPECT_LT(dropped, 1000);
}

TEST_F(VideoStream, PreviewPinDeliversRgbWhateverTheStreamFormat) {
  MakeFilter();
  ComPtr<IAMStreamConfig> config;
  PinInterface(L"Capture", IID_IAMStreamConfig, &config);
  ASSERT_EQ(SetCaps(config.get(), FindCaps(config.get(), "YUY2", 320, 240), 333333), S_OK);
  MakeGraph();
  ASSERT_EQ(RenderPreview(), S_OK);
  ComPtr<IPin> preview;
  Pin(L"Preview", &preview);
  AM_MEDIA_TYPE mt{};
  ASSERT_EQ(preview->ConnectionMediaType(&mt), S_OK);
  EXPECT_TRUE(IsEqualGUID(mt.subtype, MEDIASUBTYPE_RGB24));
  EXPECT_EQ(Vih(&mt)->bmiHeader.biWidth, 320);
  if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);
  AM_MEDIA_TYPE* stream = nullptr;
  ASSERT_EQ(config->GetFormat(&stream), S_OK);
  EXPECT_TRUE(IsEqualGUID(stream->subtype, MEDIASUBTYPE_YUY2)) << "the stream format stays YUY2";
  FreeType(stream);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  Sleep(700);
  EXPECT_GT(CaptureDelivered(), 8);
  ASSERT_TRUE(SUCCEEDED(control->Stop()));
}

// The dialog's "&Mode" sequence: stop, (split-off preview torn down), new
// format, preview rendered again, run.
TEST_F(VideoStream, FormatChangeBetweenRunsWithAndWithoutAPreviewPin) {
  for (bool previewPin : {true, false}) {
    SCOPED_TRACE(previewPin ? "preview pin" : "no preview pin");
    control.reset();
    builder.reset();
    graph.reset();
    filter.reset();
    MakeFilter(previewPin);
    MakeGraph();
    ASSERT_EQ(RenderPreview(), previewPin ? S_OK : VFW_S_NOPREVIEWPIN);
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    Sleep(300);
    ASSERT_TRUE(SUCCEEDED(control->Stop()));
    if (!previewPin) RemoveDownstream(filter.get());
    ComPtr<IAMStreamConfig> config;
    ASSERT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, filter.get(), IID_IAMStreamConfig,
                                     config.put_void()),
              S_OK);
    ASSERT_EQ(SetCaps(config.get(), FindCaps(config.get(), "RGB24", 160, 120), 333333), S_OK);
    const HRESULT again = RenderPreview();
    if (!previewPin) EXPECT_EQ(again, VFW_S_NOPREVIEWPIN);
    ComPtr<IVideoWindow> window;
    EXPECT_EQ(builder->FindInterface(previewPin ? &PIN_CATEGORY_PREVIEW : &PIN_CATEGORY_CAPTURE, nullptr,
                                     filter.get(), IID_IVideoWindow, window.put_void()),
              S_OK);
    ComPtr<IPin> streaming;
    Pin(previewPin ? L"Preview" : L"Capture", &streaming);
    AM_MEDIA_TYPE mt{};
    ASSERT_EQ(streaming->ConnectionMediaType(&mt), S_OK);
    EXPECT_EQ(Vih(&mt)->bmiHeader.biWidth, 160);
    EXPECT_EQ(Vih(&mt)->bmiHeader.biHeight, 120);
    if (mt.pbFormat) CoTaskMemFree(mt.pbFormat);
    ASSERT_TRUE(SUCCEEDED(control->Run()));
    Sleep(600);
    EXPECT_GT(CaptureDelivered(), 8);
    ASSERT_TRUE(SUCCEEDED(control->Stop()));
  }
}

// The capture dialog uses the first capture graph builder interface.
TEST_F(VideoStream, TheFirstCaptureGraphBuilderSplitsThePreviewAlike) {
  MakeFilter(false);
  ASSERT_TRUE(SUCCEEDED(
      CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.put_void())));
  ComPtr<ICaptureGraphBuilder> first;
  ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder,
                             first.put_void()),
            S_OK);
  ASSERT_EQ(first->SetFiltergraph(graph.get()), S_OK);
  ASSERT_EQ(graph->AddFilter(filter.get(), nullptr), S_OK);
  ComPtr<IAMStreamConfig> config;
  ASSERT_EQ(first->FindInterface(&PIN_CATEGORY_CAPTURE, filter.get(), IID_IAMStreamConfig, config.put_void()), S_OK);
  ASSERT_EQ(first->RenderStream(&PIN_CATEGORY_PREVIEW, filter.get(), nullptr, nullptr), VFW_S_NOPREVIEWPIN);
  ComPtr<IVideoWindow> window;
  EXPECT_EQ(first->FindInterface(&PIN_CATEGORY_CAPTURE, filter.get(), IID_IVideoWindow, window.put_void()), S_OK);
  ComPtr<IAMDroppedFrames> counters;
  ASSERT_EQ(first->FindInterface(&PIN_CATEGORY_CAPTURE, filter.get(), IID_IAMDroppedFrames, counters.put_void()),
            S_OK);
  ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, control.put_void()), S_OK);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  Sleep(500);
  EXPECT_GT(Delivered(counters.get()), 5);
  ASSERT_TRUE(SUCCEEDED(control->Stop()));
}

// The page hosted in a window of the test's own (Wine's property frame never applies).
TEST_F(VideoStream, FormatPageListsTheCapabilitiesAndSetsTheChosenOne) {
  MakeFilter();
  ComPtr<ISpecifyPropertyPages> spp;
  PinInterface(L"Capture", IID_ISpecifyPropertyPages, &spp);
  CAUUID pages{};
  ASSERT_EQ(spp->GetPages(&pages), S_OK);
  ASSERT_EQ(pages.cElems, 1u);
  EXPECT_TRUE(IsEqualGUID(pages.pElems[0], kClsidFormatPage));
  CoTaskMemFree(pages.pElems);

  ComPtr<IPropertyPage> page;
  ASSERT_EQ(CoCreateInstance(kClsidFormatPage, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.put_void()),
            S_OK)
      << "the format page is not registered";
  ComPtr<IAMStreamConfig> config;
  PinInterface(L"Capture", IID_IAMStreamConfig, &config);
  IUnknown* object = config.get();
  ASSERT_EQ(page->SetObjects(1, &object), S_OK);
  PROPPAGEINFO info{};
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  EXPECT_EQ(Narrow(info.pszTitle), "Bench format");
  CoTaskMemFree(info.pszTitle);

  HWND host = CreateWindowExA(0, "STATIC", "host", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(host);
  RECT r = {0, 0, 260, 170};
  ASSERT_EQ(page->Activate(host, &r, TRUE), S_OK);
  HWND pageWindow = GetWindow(host, GW_CHILD);
  ASSERT_TRUE(pageWindow);
  HWND list = GetDlgItem(pageWindow, 100);
  ASSERT_TRUE(list);
  int count = 0, size = 0;
  config->GetNumberOfCapabilities(&count, &size);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), count);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 0) << "the current format is selected";
  char text[96] = {};
  const LRESULT at = SendMessageA(list, LB_FINDSTRING, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>("RGB24 352 x 288"));
  ASSERT_GE(at, 0);
  SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(std::string(text), "RGB24 352 x 288, 30.0 fps");

  // Choosing a line sets it.
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
  SendMessageA(pageWindow, WM_COMMAND, MAKEWPARAM(100, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  AM_MEDIA_TYPE* mt = nullptr;
  ASSERT_EQ(config->GetFormat(&mt), S_OK);
  EXPECT_EQ(Vih(mt)->bmiHeader.biWidth, 352);
  EXPECT_EQ(Vih(mt)->bmiHeader.biHeight, 288);
  FreeType(mt);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(page->Deactivate(), S_OK);
  EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
  DestroyWindow(host);
}

// The start format and the interface failures a test sets before the capture
// dialog creates its filter.
TEST_F(VideoStream, StartFormatAndStreamFailuresFollowTheBench) {
  const struct {
    const char* subtype;
    LONG w, h;
  } formats[Z9B_STREAM_FORMATS] = {{"RGB24", 640, 480}, {"RGB24", 352, 288}, {"RGB24", 320, 240}, {"RGB24", 176, 144},
                                   {"RGB24", 160, 120}, {"RGB24", 1280, 960}, {"YUY2", 640, 480},  {"YUY2", 320, 240},
                                   {"UYVY", 640, 480},  {"RAWD", 640, 480},  {"NJP4", 640, 480},  {"NJP2", 320, 240}};
  for (uint32_t i = 0; i < Z9B_STREAM_FORMATS; ++i) {
    z9bench::StreamSettings s;
    s.format = i;
    ASSERT_TRUE(z9bench::SetStreamSettings(s));
    filter.reset();
    ASSERT_EQ(CoCreateInstance(kClsidProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put_void()), S_OK);
    ComPtr<IAMStreamConfig> config;
    PinInterface(L"Capture", IID_IAMStreamConfig, &config);
    AM_MEDIA_TYPE* mt = nullptr;
    ASSERT_EQ(config->GetFormat(&mt), S_OK);
    EXPECT_EQ(SubtypeName(mt->subtype), formats[i].subtype) << i;
    EXPECT_EQ(Vih(mt)->bmiHeader.biWidth, formats[i].w) << i;
    EXPECT_EQ(Vih(mt)->bmiHeader.biHeight, formats[i].h) << i;
    FreeType(mt);
  }

  filter.reset();
  MakeFilter();
  ComPtr<IAMStreamConfig> config;
  PinInterface(L"Capture", IID_IAMStreamConfig, &config);
  ComPtr<IPin> capture;
  Pin(L"Capture", &capture);
  z9bench::StreamSettings s;
  AM_MEDIA_TYPE* mt = nullptr;
  s.faults = Z9B_STREAM_ZERO_FRAME_TIME;
  ASSERT_TRUE(z9bench::SetStreamSettings(s));
  ASSERT_EQ(config->GetFormat(&mt), S_OK);
  EXPECT_EQ(Vih(mt)->AvgTimePerFrame, 0);
  s.faults = Z9B_STREAM_FAIL_SETFORMAT | Z9B_STREAM_NO_DROPPED_FRAMES;
  ASSERT_TRUE(z9bench::SetStreamSettings(s));
  EXPECT_EQ(config->SetFormat(mt), E_FAIL);
  FreeType(mt);
  ComPtr<IAMDroppedFrames> counters;
  EXPECT_EQ(capture->QueryInterface(IID_IAMDroppedFrames, counters.put_void()), E_NOINTERFACE);
  s.faults = Z9B_STREAM_FAIL_GETFORMAT;
  ASSERT_TRUE(z9bench::SetStreamSettings(s));
  EXPECT_EQ(config->GetFormat(&mt), E_FAIL);
  EXPECT_EQ(mt, nullptr);

  // The filter refuses to leave the stopped state.  (Wine's graph reports it
  // only at GetState and Stop, not from IMediaControl::Run.)
  s.faults = Z9B_STREAM_FAIL_RUN;
  ASSERT_TRUE(z9bench::SetStreamSettings(s));
  MakeGraph();
  ASSERT_EQ(RenderPreview(), S_OK);
  control->Run();
  Sleep(300);
  FILTER_STATE state = State_Running;
  EXPECT_EQ(filter->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  EXPECT_EQ(CaptureDelivered(), 0);
  OAFilterState graphState = 0;
  EXPECT_EQ(control->GetState(500, &graphState), E_FAIL);
  control->Stop();
}

struct FoundPage {
  HWND frame = nullptr;
  HWND page = nullptr;
};

BOOL CALLBACK MatchPageWindow(HWND w, LPARAM lp) {
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (lstrcmpA(cls, "Z9BenchFormatPage") != 0 || !IsWindowVisible(w)) return TRUE;
  reinterpret_cast<FoundPage*>(lp)->page = w;
  return FALSE;
}

// Wine's property frame, as the capture dialog's "&Mode" shows it: the page
// appears, a choice made in it sets the format, OK closes the frame.
TEST_F(VideoStream, FormatPageWorksInTheSystemPropertyFrame) {
  MakeFilter();
  ComPtr<IPin> capture;
  Pin(L"Capture", &capture);
  ComPtr<ISpecifyPropertyPages> spp;
  PinInterface(L"Capture", IID_ISpecifyPropertyPages, &spp);
  CAUUID pages{};
  ASSERT_EQ(spp->GetPages(&pages), S_OK);

  FoundPage found;
  std::string chosen;
  bool pictureSaved = false;
  std::atomic<bool> returned{false};
  const DWORD testThread = GetCurrentThreadId();
  wintest::Thread watcher([&] {
    wintest::WaitUntil(
        [&] {
          for (HWND w : wintest::WindowsOfProcess(GetCurrentProcessId(), "#32770"))
            if (GetWindowThreadProcessId(w, nullptr) == testThread) {
              FoundPage f{w, nullptr};
              EnumChildWindows(w, MatchPageWindow, reinterpret_cast<LPARAM>(&f));
              if (f.page) found = f;
            }
          return found.page != nullptr || returned.load();
        },
        20000, 50);
    if (found.page) {
      HWND list = GetDlgItem(found.page, 100);
      const LRESULT at = SendMessageA(list, LB_FINDSTRING, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>("RGB24 176 x 144"));
      if (at >= 0) {
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
        SendMessageA(found.page, WM_COMMAND, MAKEWPARAM(100, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
        chosen = wintest::WindowText(GetDlgItem(found.page, 101));
      }
      if (Z9_PICTURES_DIR[0] != '\0') {
        RedrawWindow(found.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(300);
        wintest::MakeDirs(Z9_PICTURES_DIR);
        pictureSaved =
            wintest::SaveScreenPng(std::string(Z9_PICTURES_DIR) + "\\bench-format-page.png", found.frame);
      }
      SendMessageA(found.frame, PSM_PRESSBUTTON, PSBTN_OK, 0);
      wintest::WaitUntil(
          [&] {
            if (IsWindow(found.frame)) PostMessageA(found.frame, WM_NULL, 0, 0);
            return returned.load();
          },
          10000, 100);
    }
    // Whatever happened, the test thread must leave the modal loop.
    for (int round = 0; round < 50 && !returned.load(); ++round) {
      for (HWND w : wintest::WindowsOfProcess(GetCurrentProcessId()))
        if (GetWindowThreadProcessId(w, nullptr) == testThread) PostMessageA(w, WM_CLOSE, 0, 0);
      Sleep(200);
    }
  });
  IUnknown* objects[] = {capture.get()};
  const HRESULT hr =
      OleCreatePropertyFrame(nullptr, 30, 30, nullptr, 1, objects, pages.cElems, pages.pElems, 0, 0, nullptr);
  returned = true;
  watcher.Join();
  CoTaskMemFree(pages.pElems);

  EXPECT_EQ(hr, S_OK);
  ASSERT_TRUE(found.page) << "the format page did not appear in the frame";
  EXPECT_EQ(chosen, "RGB24 176 x 144, 30.0 fps");
  if (Z9_PICTURES_DIR[0] != '\0') EXPECT_TRUE(pictureSaved);
  ComPtr<IAMStreamConfig> config;
  PinInterface(L"Capture", IID_IAMStreamConfig, &config);
  AM_MEDIA_TYPE* mt = nullptr;
  ASSERT_EQ(config->GetFormat(&mt), S_OK);
  EXPECT_EQ(Vih(mt)->bmiHeader.biWidth, 176);
  FreeType(mt);
}

}  // namespace
