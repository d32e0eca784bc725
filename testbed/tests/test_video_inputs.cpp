// The video input device list as the system device enumerator shows it, in
// each arrangement the bench can make (client library and camctl), and the
// stream switches of camctl.
#include <objbase.h>
#include <strmif.h>
#include <uuids.h>

#include <string>
#include <vector>

#include "bench_fixture.h"
#include "com_ptr.h"
#include "stream_control.h"
#include "video_inputs.h"
#include "wintest.h"

using namespace benchtest;

namespace {

struct Listed {
  bool named = false;
  std::string name;
  std::string clsid;
  bool operator==(const Listed& o) const { return named == o.named && name == o.name && clsid == o.clsid; }
};

std::string Narrow(const WCHAR* w) {
  char text[512] = {};
  WideCharToMultiByte(CP_ACP, 0, w, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

class VideoInputs : public BenchTest {
 protected:
  void SetUp() override {
    BenchTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    std::string error;
    ASSERT_TRUE(z9bench::ResetVideoInputs(&error)) << error;
  }
  void TearDown() override {
    std::string error;
    EXPECT_TRUE(z9bench::ResetVideoInputs(&error)) << error;
    z9bench::ResetStreamSettings();
    CoUninitialize();
    BenchTest::TearDown();
  }

  // The bench's entries (the camera's name or class ids, or no name) in
  // enumeration order; `monikers` receives them for binding.
  std::vector<Listed> Enumerate(std::vector<IMoniker*>* monikers = nullptr) {
    std::vector<Listed> out;
    ComPtr<ICreateDevEnum> devices;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devices.put_void())))
      return out;
    ComPtr<IEnumMoniker> list;
    if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, list.put(), 0) != S_OK) return out;
    for (;;) {
      IMoniker* m = nullptr;
      if (list->Next(1, &m, nullptr) != S_OK) break;
      Listed l;
      ComPtr<IPropertyBag> bag;
      if (SUCCEEDED(m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void()))) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        if (SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)) && v.vt == VT_BSTR) {
          l.named = true;
          l.name = Narrow(v.bstrVal);
        }
        VariantClear(&v);
        v.vt = VT_BSTR;
        if (SUCCEEDED(bag->Read(L"CLSID", &v, nullptr)) && v.vt == VT_BSTR) l.clsid = Narrow(v.bstrVal);
        VariantClear(&v);
      }
      const bool ours = !l.named || l.name == z9bench::kFriendlyName;
      if (ours) {
        out.push_back(l);
        if (monikers) {
          monikers->push_back(m);
          continue;
        }
      }
      m->Release();
    }
    return out;
  }

  static Listed Camera() { return {true, z9bench::kFriendlyName, z9bench::kProxyClsid}; }
  static Listed Other() { return {true, z9bench::kFriendlyName, z9bench::kOtherVideoInputClsid}; }

  int Camctl(const std::string& args) {
    wintest::Process p;
    if (!p.Start("\"" + wintest::ExeDir() + "\\camctl.exe\" " + args)) return -1;
    DWORD code = 0;
    if (!p.Wait(20000, &code)) return -2;
    return static_cast<int>(code);
  }
};

TEST_F(VideoInputs, EachArrangementIsWhatTheSystemDeviceEnumeratorLists) {
  EXPECT_EQ(Enumerate(), std::vector<Listed>{Camera()});

  std::string error;
  ASSERT_TRUE(z9bench::AddOtherClassVideoInput(&error)) << error;
  EXPECT_EQ(Enumerate(), (std::vector<Listed>{Other(), Camera()})) << "the other class comes first";

  ASSERT_TRUE(z9bench::AddSecondCameraVideoInput(nullptr, &error)) << error;
  EXPECT_EQ(Enumerate(), (std::vector<Listed>{Other(), Camera(), Camera()}));

  // Only the name match with another class.
  z9bench::RemoveVideoInputs();
  EXPECT_TRUE(Enumerate().empty());
  ASSERT_TRUE(z9bench::AddOtherClassVideoInput(&error)) << error;
  EXPECT_EQ(Enumerate(), std::vector<Listed>{Other()});

  // The camera without its friendly name.
  ASSERT_TRUE(z9bench::ResetVideoInputs(&error)) << error;
  ASSERT_TRUE(z9bench::RemoveCameraFriendlyName(&error)) << error;
  const auto unnamed = Enumerate();
  ASSERT_EQ(unnamed.size(), 1u);
  EXPECT_FALSE(unnamed[0].named);
  EXPECT_EQ(unnamed[0].clsid, z9bench::kProxyClsid);
}

TEST_F(VideoInputs, BothCamerasBindToFiltersOnTheirDevicePaths) {
  std::string error;
  ASSERT_TRUE(z9bench::AddSecondCameraVideoInput(nullptr, &error)) << error;
  std::vector<IMoniker*> monikers;
  const auto listed = Enumerate(&monikers);
  ASSERT_EQ(listed.size(), 2u);
  for (IMoniker* m : monikers) {
    ComPtr<IBaseFilter> f;
    EXPECT_EQ(m->BindToObject(nullptr, nullptr, IID_IBaseFilter, f.put_void()), S_OK);
    m->Release();
  }
  // Without the second function installed both stand for the camera.
  const auto entries = z9bench::ListVideoInputs();
  std::string first, second;
  for (const auto& e : entries) {
    if (e.key == z9bench::kCameraVideoInputName) first = e.devicePath;
    if (e.key == z9bench::kSecondCameraVideoInputName) second = e.devicePath;
  }
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(first, second);
}

TEST_F(VideoInputs, CamctlArrangesTheListAndTheStreamSwitches) {
  EXPECT_EQ(Camctl("videoinputs none"), 0);
  EXPECT_TRUE(Enumerate().empty());
  EXPECT_EQ(Camctl("videoinputs default"), 0);
  EXPECT_EQ(Camctl("videoinputs add-other"), 0);
  EXPECT_EQ(Enumerate(), (std::vector<Listed>{Other(), Camera()}));
  EXPECT_EQ(Camctl("videoinputs no-name"), 0);
  const auto listed = Enumerate();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_FALSE(listed[1].named);
  EXPECT_EQ(Camctl("videoinputs sideways"), 2);

  EXPECT_EQ(Camctl("preview off"), 0);
  EXPECT_EQ(Camctl("drops offset=7 every=4"), 0);
  z9bench::StreamSettings s = z9bench::GetStreamSettings();
  EXPECT_FALSE(s.previewPin);
  EXPECT_EQ(s.droppedOffset, 7u);
  EXPECT_EQ(s.dropEvery, 4u);
  EXPECT_EQ(Camctl("stream-format 7"), 0);
  EXPECT_EQ(Camctl("stream-faults run zerorate"), 0);
  s = z9bench::GetStreamSettings();
  EXPECT_EQ(s.format, 7u);
  EXPECT_EQ(s.faults, Z9B_STREAM_FAIL_RUN | Z9B_STREAM_ZERO_FRAME_TIME);
  EXPECT_EQ(Camctl("stream-format 12"), 2);
  EXPECT_EQ(Camctl("stream-faults sideways"), 2);
  EXPECT_EQ(Camctl("stream-reset"), 0);
  s = z9bench::GetStreamSettings();
  EXPECT_TRUE(s.previewPin);
  EXPECT_EQ(s.dropEvery, 0u);
}

}  // namespace
