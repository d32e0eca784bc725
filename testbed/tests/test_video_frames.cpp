// What the capture pin delivers, seen through Wine's Sample Grabber on a
// capture stream: pictures with moving colour bars and the frame number drawn
// in, sample and media times one frame apart.
#include <objbase.h>
#include <strmif.h>
#include <control.h>
#include <amvideo.h>
#include <qedit.h>
#include <uuids.h>

#include <cstring>
#include <vector>

#include "bench_fixture.h"
#include "com_ptr.h"
#include "stream_control.h"

using namespace benchtest;

namespace {

const CLSID kClsidProxy = {0x17CCA71B, 0xECD7, 0x11D0, {0xB9, 0x08, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const CLSID kClsidSampleGrabber = {0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const CLSID kClsidNullRenderer = {0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const IID kIidSampleGrabber = {0x6B652FFF, 0x11FE, 0x4FCE, {0x92, 0xAD, 0x02, 0x66, 0xB5, 0xD7, 0xC7, 0x8F}};
const IID kIidSampleGrabberCB = {0x0579154A, 0x2B53, 0x4994, {0xB0, 0xD0, 0xE7, 0x73, 0x14, 0x8E, 0xFF, 0x85}};

struct Frame {
  REFERENCE_TIME start = 0, end = 0;
  LONGLONG mediaStart = 0;
  std::vector<BYTE> bytes;
};

// Keeps copies of the first frames it is given.
class Collector final : public ISampleGrabberCB {
 public:
  Collector() { InitializeCriticalSection(&lock_); }
  ~Collector() { DeleteCriticalSection(&lock_); }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIidSampleGrabberCB)) {
      *out = static_cast<ISampleGrabberCB*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
    Frame f;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || FAILED(sample->GetTime(&f.start, &f.end))) return S_OK;
    LONGLONG mediaEnd = 0;
    sample->GetMediaTime(&f.mediaStart, &mediaEnd);
    f.bytes.assign(data, data + sample->GetActualDataLength());
    EnterCriticalSection(&lock_);
    if (frames_.size() < 12) frames_.push_back(std::move(f));
    LeaveCriticalSection(&lock_);
    return S_OK;
  }
  STDMETHODIMP BufferCB(double, BYTE*, LONG) override { return S_OK; }
  std::vector<Frame> Take() {
    EnterCriticalSection(&lock_);
    std::vector<Frame> f = frames_;
    LeaveCriticalSection(&lock_);
    return f;
  }

 private:
  CRITICAL_SECTION lock_;
  std::vector<Frame> frames_;
};

// Pixel (x, y) counted from the top of a bottom-up RGB24 picture, as r, g, b.
struct Rgb {
  int r, g, b;
};
Rgb PixelOf(const Frame& f, int width, int height, int x, int y) {
  const BYTE* p = &f.bytes[(static_cast<size_t>(height - 1 - y) * width + x) * 3];
  return {p[2], p[1], p[0]};
}

// Reads the six-digit counter: 3 x 5 dot digits in a black box, one dot
// (height / 60 pixels) of margin, one dot between digits.
int ReadCounter(const Frame& f, int width, int height) {
  static const int kDigits[10][5] = {{7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7},
                                     {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1},
                                     {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};
  const int dot = height / 60;
  int value = 0;
  for (int d = 0; d < 6; ++d) {
    int rows[5] = {};
    for (int r = 0; r < 5; ++r)
      for (int c = 0; c < 3; ++c) {
        const Rgb p = PixelOf(f, width, height, dot + (1 + d * 4 + c) * dot + dot / 2, dot + (1 + r) * dot + dot / 2);
        if (p.r > 128 && p.g > 128 && p.b > 128) rows[r] |= 4 >> c;
      }
    int digit = -1;
    for (int k = 0; k < 10; ++k)
      if (std::memcmp(rows, kDigits[k], sizeof rows) == 0) digit = k;
    if (digit < 0) return -1;
    value = value * 10 + digit;
  }
  return value;
}

class VideoFrames : public BenchTest {
 protected:
  void SetUp() override {
    BenchTest::SetUp();
    ASSERT_TRUE(z9bench::ResetStreamSettings());
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  }
  void TearDown() override {
    if (control) control->Stop();
    control.reset();
    grabber.reset();
    graph.reset();
    CoUninitialize();
    BenchTest::TearDown();
  }
  ComPtr<IGraphBuilder> graph;
  ComPtr<IMediaControl> control;
  ComPtr<ISampleGrabber> grabber;
};

TEST_F(VideoFrames, CaptureFramesCarryMovingBarsTheirNumberAndTimes) {
  ComPtr<IBaseFilter> camera, grab, sink;
  ComPtr<ICaptureGraphBuilder2> builder;
  ASSERT_EQ(CoCreateInstance(kClsidProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, camera.put_void()), S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.put_void()),
            S_OK);
  ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                             builder.put_void()),
            S_OK);
  ASSERT_EQ(CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, grab.put_void()),
            S_OK)
      << "Wine's Sample Grabber";
  ASSERT_EQ(CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, sink.put_void()),
            S_OK);
  ASSERT_EQ(grab->QueryInterface(kIidSampleGrabber, grabber.put_void()), S_OK);
  AM_MEDIA_TYPE want{};
  want.majortype = MEDIATYPE_Video;
  want.subtype = MEDIASUBTYPE_RGB24;
  ASSERT_EQ(grabber->SetMediaType(&want), S_OK);
  Collector collector;
  ASSERT_EQ(grabber->SetCallback(&collector, 0), S_OK);
  ASSERT_EQ(builder->SetFiltergraph(graph.get()), S_OK);
  ASSERT_EQ(graph->AddFilter(camera.get(), L"Camera"), S_OK);
  ASSERT_EQ(graph->AddFilter(grab.get(), L"Grabber"), S_OK);
  ASSERT_EQ(graph->AddFilter(sink.get(), L"Sink"), S_OK);
  ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.get(), grab.get(), sink.get()),
            S_OK);
  ASSERT_EQ(graph->QueryInterface(IID_IMediaControl, control.put_void()), S_OK);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  Sleep(800);
  ASSERT_TRUE(SUCCEEDED(control->Stop()));
  grabber->SetCallback(nullptr, 0);

  const std::vector<Frame> frames = collector.Take();
  ASSERT_GE(frames.size(), 8u);
  for (size_t i = 0; i < frames.size(); ++i) {
    const Frame& f = frames[i];
    SCOPED_TRACE(i);
    ASSERT_EQ(f.bytes.size(), 640u * 480u * 3u);
    EXPECT_EQ(f.end - f.start, 333333) << "one frame time long";
    EXPECT_EQ(ReadCounter(f, 640, 480), static_cast<int>(f.mediaStart + 1)) << "the frame number is drawn in";
    // Eight bars under the counter: white first when the bars have not moved.
    const Rgb below = PixelOf(f, 640, 480, 320, 400);
    EXPECT_TRUE((below.r == 0 || below.r == 255) && (below.g == 0 || below.g == 255) &&
                (below.b == 0 || below.b == 255));
    if (i == 0) continue;
    const Frame& before = frames[i - 1];
    EXPECT_EQ(f.mediaStart, before.mediaStart + 1);
    EXPECT_GT(f.start, before.start);
    EXPECT_FALSE(f.bytes == before.bytes) << "the bars move";
  }
  // The bars move 4 pixels a frame: a bar edge seen in one frame is 4 pixels further left in the next.
  const Frame& a = frames[0];
  const Frame& b = frames[1];
  int edge = -1;
  for (int x = 1; x < 640 && edge < 0; ++x) {
    const Rgb l = PixelOf(a, 640, 480, x - 1, 400), r = PixelOf(a, 640, 480, x, 400);
    if (l.r != r.r || l.g != r.g || l.b != r.b) edge = x;
  }
  ASSERT_GE(edge, 4);
  const int steps = static_cast<int>(b.mediaStart - a.mediaStart);
  const Rgb moved = PixelOf(b, 640, 480, edge - 4 * steps, 400), was = PixelOf(a, 640, 480, edge, 400);
  EXPECT_TRUE(moved.r == was.r && moved.g == was.g && moved.b == was.b);
}

}  // namespace
