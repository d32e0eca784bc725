// What one opening of the capture dialog leaves in its host, with the DLL
// kept loaded (dll_unload_tests frees it between openings), against two controls without any product code: binding the
// bench camera's moniker alone, and building, running and releasing a
// preview graph on it. Each counts the handles it leaves by type, and the
// private memory, over a few cycles after warm-up ones.
#include <windows.h>
#include <dshow.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench_client.h"
#include "dialog_host.h"
#include "process_stats.h"
#include "settings.h"
#include "win_handles.h"
#include "wintest.h"

namespace {

constexpr int kWarmUp = 2;
constexpr int kCycles = 3;

// The bench camera's moniker, or nothing.
z9::ComPtr<IMoniker> BenchMoniker() {
  z9::ComPtr<ICreateDevEnum> devices;
  z9::ComPtr<IEnumMoniker> monikers;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                              devices.put_void())) ||
      devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.put(), 0) != S_OK)
    return {};
  for (;;) {
    z9::ComPtr<IMoniker> moniker;
    if (monikers->Next(1, moniker.put(), nullptr) != S_OK) return {};
    z9::ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void()))) continue;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    bool found = false;
    if (SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)) && v.vt == VT_BSTR) {
      char name[128] = {};
      WideCharToMultiByte(CP_ACP, 0, v.bstrVal, -1, name, sizeof name - 1, nullptr, nullptr);
      found = lstrcmpA(name, z9bench::kFriendlyName) == 0;
    }
    VariantClear(&v);
    if (found) return moniker;
  }
}

bool BindCamera() {
  z9::ComPtr<IMoniker> moniker = BenchMoniker();
  z9::ComPtr<IBaseFilter> camera;
  return moniker && SUCCEEDED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, camera.put_void()));
}

// The preview as the dialog builds it, run for a moment and released.
bool RunPreviewGraph() {
  z9::ComPtr<IMoniker> moniker = BenchMoniker();
  z9::ComPtr<IBaseFilter> camera;
  z9::ComPtr<IGraphBuilder> graph;
  z9::ComPtr<ICaptureGraphBuilder> builder;
  if (!moniker || FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, camera.put_void())) ||
      FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                              graph.put_void())) ||
      FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder,
                              builder.put_void())) ||
      FAILED(builder->SetFiltergraph(graph.get())) || FAILED(graph->AddFilter(camera.get(), nullptr)) ||
      FAILED(builder->RenderStream(&PIN_CATEGORY_PREVIEW, camera.get(), nullptr, nullptr)))
    return false;
  z9::ComPtr<IMediaControl> control;
  if (FAILED(graph.As(IID_IMediaControl, &control))) return false;
  control->Run();
  wintest::PumpFor(100);
  control->Stop();
  return true;
}

using CreateDialogFn = int(__cdecl*)(HWND);
using RemoveDialogFn = int(__cdecl*)();

struct Leftovers {
  std::map<std::string, int> byType;  // "Key", "Event", ...
  std::string listing;
  int64_t privateBytes = 0;
  int total() const {
    int n = 0;
    for (const auto& t : byType) n += t.second;
    return n;
  }
};

// What `cycles` calls of `step` leave, after `kWarmUp` calls that may make
// what the process keeps once.
Leftovers Measure(const std::function<bool()>& step) {
  const DWORD self = GetCurrentProcessId();
  Leftovers left;
  for (int i = 0; i < kWarmUp; ++i)
    if (!step()) return left;
  wintest::PumpFor(200);
  const std::vector<unsigned> before = z9soak::HandleValues(self);
  const z9soak::HandleSource source = z9soak::ChooseHandleSource(self);
  const int64_t memBefore = z9soak::MeasureProcess(self, source).privateBytes;
  for (int i = 0; i < kCycles; ++i) EXPECT_TRUE(step()) << "cycle " << i;
  wintest::WaitUntil([&] { return z9soak::HandleValues(self).size() <= before.size(); }, 3000, 100);
  left.privateBytes = z9soak::MeasureProcess(self, source).privateBytes - memBefore;
  for (unsigned v : z9soak::HandleValues(self)) {
    if (std::find(before.begin(), before.end(), v) != before.end()) continue;
    const std::string what = z9soak::DescribeHandle(self, v);
    ++left.byType[what.substr(0, what.find(' '))];
    left.listing += "\n  " + what;
  }
  return left;
}

int Count(const std::map<std::string, int>& byType, const char* type) {
  const auto it = byType.find(type);
  return it == byType.end() ? 0 : it->second;
}

void Report(const char* what, const Leftovers& left) {
  std::printf("%s: %d cycles left %d handle(s), %lld KiB private memory", what, kCycles, left.total(),
              static_cast<long long>(left.privateBytes / 1024));
  for (const auto& t : left.byType) std::printf("; %s %d", t.first.c_str(), t.second);
  std::printf("\n");
}

class DialogOpeningsTest : public ::testing::Test {
 protected:
  void SetUp() override { host_.SetUp("Z9OpeningsHost"); }
  void TearDown() override { host_.TearDown(); }

  z9soak::DialogHost host_;
};

TEST_F(DialogOpeningsTest, LeaveNoMoreThanWineAlone) {
  const HWND host = host_.window();
  // The controls run no product code. Under Wine 8 the device enumerator
  // opens the key of every moniker it hands out (and of the one it fetches to
  // see whether the category is empty) and never closes it: two keys of the
  // bench camera's entry per enumeration that reaches it, and one of its own
  // HKCU "Software\Microsoft\ActiveMovie\devenum" key per enumeration once
  // that key exists. A filter graph, even an empty one released to its last
  // reference, leaves its unnamed event. Those are the only handles a dialog
  // opening may leave.
  const Leftovers listing = Measure([] { return static_cast<bool>(BenchMoniker()); });
  const Leftovers emptyGraph = Measure([] {
    z9::ComPtr<IGraphBuilder> graph;
    return SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                      graph.put_void()));
  });
  Report("listing the video input devices", listing);
  Report("an empty filter graph", emptyGraph);
  std::map<std::string, int> wine = listing.byType;
  for (const auto& t : emptyGraph.byType) wine[t.first] += t.second;
  EXPECT_EQ(listing.total(), Count(listing.byType, "Key")) << "new handles:" << listing.listing;
  EXPECT_EQ(emptyGraph.total(), Count(emptyGraph.byType, "Event")) << "new handles:" << emptyGraph.listing;

  z9::UniqueModule library(LoadLibraryA((wintest::ExeDir() + "\\Z9100Twn.dll").c_str()));
  ASSERT_TRUE(library.get() != nullptr);
  auto create = reinterpret_cast<CreateDialogFn>(GetProcAddress(library.get(), "CreateUIDlg"));
  auto remove = reinterpret_cast<RemoveDialogFn>(GetProcAddress(library.get(), "RemoveUIDlg"));
  ASSERT_TRUE(create != nullptr && remove != nullptr);
  const struct {
    const char* what;
    std::function<bool()> step;
    const std::map<std::string, int>& allowed;
  } cases[] = {
      {"binding the bench camera", BindCamera, listing.byType},
      {"a preview graph on the bench camera", RunPreviewGraph, wine},
      {"opening and removing the capture dialog",
       [&] {
         create(host);
         wintest::PumpFor(50);
         remove();
         wintest::PumpFor(50);
         return true;
       },
       wine},
  };
  for (const auto& c : cases) {
    const Leftovers left = Measure(c.step);
    Report(c.what, left);
    EXPECT_EQ(left.byType, c.allowed) << c.what << ", new handles:" << left.listing;
  }
}

}  // namespace
