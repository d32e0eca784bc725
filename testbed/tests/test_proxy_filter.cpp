// The proxy filter object of the prefix's Ksproxy.ax: created directly and
// through the system device enumerator, forwarding IKsControl and
// IKsPropertySet to the camera, listing the registered property pages.
#include <objbase.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <winioctl.h>
#include <ks.h>
#include <ksproxy.h>

#include <cstring>

#include "bench_fixture.h"
#include "ks_requests.h"
#include "win_guid.h"

using namespace benchtest;

namespace {

const CLSID kClsidProxy = {0x17CCA71B, 0xECD7, 0x11D0, {0xB9, 0x08, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

GUID ToGuid(const z9::Guid& g) { return z9::ToWinGuid(g); }

template <class T>
struct Com {
  T* p = nullptr;
  ~Com() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
  void** put() { return reinterpret_cast<void**>(&p); }
};

class ProxyFilter : public BenchTest {
 protected:
  void SetUp() override {
    BenchTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(kClsidProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put())))
        << "the proxy class is not registered";
  }
  void TearDown() override {
    if (filter.p) filter.p->Release();
    filter.p = nullptr;
    CoUninitialize();
    BenchTest::TearDown();
  }

  Com<IBaseFilter> filter;
};

TEST_F(ProxyFilter, IsAFilterWithTheKernelStreamingInterfaces) {
  CLSID clsid{};
  ASSERT_TRUE(SUCCEEDED(filter->GetClassID(&clsid)));
  EXPECT_TRUE(IsEqualCLSID(clsid, kClsidProxy));
  Com<IKsControl> control;
  Com<IKsPropertySet> props;
  Com<ISpecifyPropertyPages> pages;
  Com<IPersistPropertyBag> bag;
  EXPECT_TRUE(SUCCEEDED(filter->QueryInterface(IID_IKsControl, control.put())));
  EXPECT_TRUE(SUCCEEDED(filter->QueryInterface(IID_IKsPropertySet, props.put())));
  EXPECT_TRUE(SUCCEEDED(filter->QueryInterface(IID_ISpecifyPropertyPages, pages.put())));
  EXPECT_TRUE(SUCCEEDED(filter->QueryInterface(IID_IPersistPropertyBag, bag.put())));

  // A live source: paused it cannot cue.
  FILTER_STATE state = State_Running;
  EXPECT_EQ(filter->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);
  ASSERT_TRUE(SUCCEEDED(filter->Pause()));
  EXPECT_EQ(filter->GetState(0, &state), VFW_S_CANT_CUE);
  EXPECT_EQ(state, State_Paused);
  ASSERT_TRUE(SUCCEEDED(filter->Stop()));
}

TEST_F(ProxyFilter, KsPropertyForwardsTheStandardControlRequest) {
  Com<IKsControl> control;
  ASSERT_TRUE(SUCCEEDED(filter->QueryInterface(IID_IKsControl, control.put())));
  Z9B_CONTROL model{};
  ASSERT_TRUE(bench.GetControl(Z9B_GROUP_PROCAMP, 1, &model));

  uint8_t b[z9::kStandardRequestSize];
  z9::BuildStandardRequest(b, z9::kPropSetVideoProcAmp, 1, z9::kKsPropertyTypeGet, {0, 0, 0});
  ULONG returned = 0;
  ASSERT_TRUE(SUCCEEDED(control->KsProperty(reinterpret_cast<PKSPROPERTY>(b), sizeof b, b, sizeof b, &returned)));
  EXPECT_EQ(z9::StandardValueOfReply(b).value, model.value);
  EXPECT_GE(returned, 36u);

  z9::BuildStandardRequest(b, z9::kPropSetVideoProcAmp, 1, z9::kKsPropertyTypeSet, {50, 2, 2});
  ASSERT_TRUE(SUCCEEDED(control->KsProperty(reinterpret_cast<PKSPROPERTY>(b), sizeof b, b, sizeof b, &returned)));
  ASSERT_TRUE(bench.GetControl(Z9B_GROUP_PROCAMP, 1, &model));
  EXPECT_EQ(model.value, 50);

  // Description query: header as the property, 72 bytes of data.
  uint8_t header[z9::kKsPropertySize];
  z9::PutKsProperty(header, z9::kPropSetVideoProcAmp, 1, z9::kKsPropertyTypeBasicSupport);
  uint8_t data[z9::kBasicSupportSize] = {};
  ASSERT_TRUE(SUCCEEDED(
      control->KsProperty(reinterpret_cast<PKSPROPERTY>(header), sizeof header, data, sizeof data, &returned)));
  EXPECT_EQ(z9::SteppingOfReply(data).maximum, model.maximum);

  // Exactly what was sent reached the camera.
  const auto log = LogOf(Z9B_KIND_PROCAMP);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].inLength, 44u);
  EXPECT_EQ(log[0].outLength, 44u);
  EXPECT_EQ(log[2].inLength, 24u);
  EXPECT_EQ(log[2].outLength, 72u);
  EXPECT_EQ(log[2].flags, z9::kKsPropertyTypeBasicSupport);
}

// The pages' control-set request: the whole 56-byte buffer is both the
// instance data and the property data, so the camera receives the proxy's own
// header followed by the caller's buffer.
TEST_F(ProxyFilter, PropertySetGetAndSetReachTheCameraAsTheSystemProxySendsThem) {
  Com<IKsPropertySet> props;
  ASSERT_TRUE(SUCCEEDED(filter->QueryInterface(IID_IKsPropertySet, props.put())));
  const GUID set = ToGuid(z9::kControlPropertySet);
  uint8_t b[z9::kControlRequestSize];
  z9::BuildControlRequest(b, 5, z9::kKsPropertyTypeGet, z9::ControlInfo{});
  DWORD returned = 0;
  ASSERT_TRUE(SUCCEEDED(props->Get(set, 5, b, sizeof b, b, sizeof b, &returned)));
  EXPECT_EQ(returned, 56u);
  z9::ControlInfo info = z9::ControlInfoOfReply(b);
  EXPECT_EQ(info.Supported, 1);
  EXPECT_EQ(info.Maximum, 255);

  info.Value = 77;
  z9::BuildControlRequest(b, 5, z9::kKsPropertyTypeSet, info);
  ASSERT_TRUE(SUCCEEDED(props->Set(set, 5, b, sizeof b, b, sizeof b)));
  Z9B_CONTROL model{};
  ASSERT_TRUE(bench.GetControl(Z9B_GROUP_EXT, 5, &model));
  EXPECT_EQ(model.value, 77);

  const auto log = LogOf(Z9B_KIND_EXT_CONTROL);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1].inLength, 24u + 56u);
  EXPECT_EQ(log[1].outLength, 56u);
  EXPECT_EQ(log[1].flags, z9::kKsPropertyTypeSet);
  EXPECT_EQ(0, std::memcmp(log[1].in + 24, b, 56)) << "the caller's buffer follows the proxy's header";

  DWORD support = 0;
  ASSERT_TRUE(SUCCEEDED(props->QuerySupported(set, 5, &support)));
  EXPECT_EQ(support, DWORD{KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET});
  EXPECT_TRUE(FAILED(props->QuerySupported(set, 9, &support)));
}

TEST_F(ProxyFilter, StreamInfoAndStillThroughThePropertySet) {
  Com<IKsPropertySet> props;
  ASSERT_TRUE(SUCCEEDED(filter->QueryInterface(IID_IKsPropertySet, props.put())));
  const GUID ext = ToGuid(z9::kExtensionPropertySet);
  ASSERT_TRUE(bench.SetStreamInfo(1, 320, 240));
  uint8_t s[z9::kStreamInfoRequestSize];
  z9::BuildStreamInfoRequest(s);
  DWORD returned = 0;
  ASSERT_TRUE(SUCCEEDED(props->Get(ext, 56, s, sizeof s, s, sizeof s, &returned)));
  EXPECT_EQ(z9::StreamInfoOfReply(s).width, 320);
  EXPECT_EQ(z9::StreamInfoOfReply(s).height, 240);

  uint8_t size[z9::kStillSizeRequestSize];
  z9::BuildStillBufferSizeRequest(size);
  ASSERT_TRUE(SUCCEEDED(props->Get(ext, 61, size, sizeof size, size, sizeof size, &returned)));
  const uint32_t stillSize = z9::StillBufferSizeOfReply(size);
  ASSERT_EQ(stillSize, 921600u);

  std::vector<uint8_t> still(stillSize + 48);
  ASSERT_TRUE(z9::BuildStillRequest(still.data(), still.size()));
  ASSERT_TRUE(SUCCEEDED(props->Get(ext, 34, still.data(), static_cast<DWORD>(still.size()), still.data(),
                                   static_cast<DWORD>(still.size()), &returned)));
  EXPECT_EQ(still[24], 0);
  EXPECT_EQ(z9::GetU32(&still[32]), 640u);
  EXPECT_EQ(returned, 40u + 640 * 480 * 2);

  // A failing camera fails the call.
  ASSERT_TRUE(bench.AddFault(z9bench::MakeFault(Z9B_KIND_STREAM_INFO, Z9B_FAULT_FAIL)));
  EXPECT_TRUE(FAILED(props->Get(ext, 56, s, sizeof s, s, sizeof s, &returned)));
}

TEST_F(ProxyFilter, PagesAreThoseRegisteredForTheSetsTheCameraSupports) {
  Com<ISpecifyPropertyPages> spp;
  ASSERT_TRUE(SUCCEEDED(filter->QueryInterface(IID_ISpecifyPropertyPages, spp.put())));
  CAUUID pages{};
  ASSERT_TRUE(SUCCEEDED(spp->GetPages(&pages)));
  ASSERT_EQ(pages.cElems, 4u);
  const GUID first = {0x7EBBB1AF, 0xC455, 0x4F97, {0xB5, 0xE7, 0x9D, 0x4E, 0x5B, 0x98, 0x30, 0x00}};
  for (ULONG i = 0; i < pages.cElems; ++i) {
    GUID want = first;
    want.Data4[7] = static_cast<BYTE>(i);
    EXPECT_TRUE(IsEqualGUID(pages.pElems[i], want)) << i;
  }
  CoTaskMemFree(pages.pElems);

  // A set the camera does not support adds nothing.
  const std::string other = std::string(z9bench::kMediaSetsKey) + "\\{11111111-2222-3333-4444-555555555555}";
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                            (other + "\\PropertyPages\\{11111111-0000-0000-0000-000000000001}").c_str(), 0, nullptr,
                            0, KEY_WRITE, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(k);
  ASSERT_TRUE(SUCCEEDED(spp->GetPages(&pages)));
  EXPECT_EQ(pages.cElems, 4u);
  CoTaskMemFree(pages.pElems);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, (other + "\\PropertyPages\\{11111111-0000-0000-0000-000000000001}").c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, (other + "\\PropertyPages").c_str());
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, other.c_str());
}

TEST_F(ProxyFilter, SystemDeviceEnumeratorListsAndBindsTheCamera) {
  Com<ICreateDevEnum> devices;
  ASSERT_TRUE(SUCCEEDED(
      CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum, devices.put())));
  Com<IEnumMoniker> monikers;
  ASSERT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers.p, 0), S_OK);
  bool found = false;
  for (;;) {
    Com<IMoniker> m;
    if (monikers->Next(1, &m.p, nullptr) != S_OK) break;
    Com<IPropertyBag> bag;
    if (FAILED(m->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put()))) continue;
    VARIANT name, clsid;
    VariantInit(&name);
    VariantInit(&clsid);
    name.vt = clsid.vt = VT_BSTR;
    const bool named = SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) &&
                       lstrcmpW(name.bstrVal, L"Opticam, Q7710C USB Camera") == 0;
    const bool proxied = SUCCEEDED(bag->Read(L"CLSID", &clsid, nullptr)) &&
                         lstrcmpiW(clsid.bstrVal, L"{17CCA71B-ECD7-11D0-B908-00A0C9223196}") == 0;
    VariantClear(&name);
    VariantClear(&clsid);
    if (!named || !proxied) continue;
    found = true;
    Com<IBaseFilter> bound;
    ASSERT_TRUE(SUCCEEDED(m->BindToObject(nullptr, nullptr, IID_IBaseFilter, bound.put())));
    Com<IKsPropertySet> props;
    ASSERT_TRUE(SUCCEEDED(bound->QueryInterface(IID_IKsPropertySet, props.put())));
    uint8_t b[z9::kButtonRequestSize];
    z9::BuildButtonStateRequest(b);
    ASSERT_TRUE(bench.PushButtons({11}));
    DWORD returned = 0;
    ASSERT_TRUE(SUCCEEDED(props->Get(ToGuid(z9::kExtensionPropertySet), 32, b, sizeof b, b, sizeof b, &returned)));
    EXPECT_EQ(b[24], 11);
    break;
  }
  EXPECT_TRUE(found) << "no video input device \"Opticam, Q7710C USB Camera\" with the proxy class";
  const auto log = LogOf(Z9B_KIND_BUTTON);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].slot, 0u);
}

TEST_F(ProxyFilter, RequestsFailWhileTheCameraIsUnplugged) {
  Com<IKsPropertySet> props;
  ASSERT_TRUE(SUCCEEDED(filter->QueryInterface(IID_IKsPropertySet, props.put())));
  const GUID ext = ToGuid(z9::kExtensionPropertySet);
  uint8_t s[z9::kStreamInfoRequestSize];
  z9::BuildStreamInfoRequest(s);
  DWORD returned = 0;
  ASSERT_TRUE(SUCCEEDED(props->Get(ext, 56, s, sizeof s, s, sizeof s, &returned)));
  ASSERT_TRUE(bench.Unplug());
  EXPECT_TRUE(FAILED(props->Get(ext, 56, s, sizeof s, s, sizeof s, &returned)));

  // A new object finds no camera to open.
  Com<IKsControl> fresh;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(kClsidProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IKsControl, fresh.put())));
  ULONG got = 0;
  EXPECT_TRUE(FAILED(fresh->KsProperty(reinterpret_cast<PKSPROPERTY>(s), sizeof s, s, sizeof s, &got)));
  ASSERT_TRUE(bench.Replug());
}

}  // namespace
