// Stills through the stand-in capture filter's IKsPropertySet::Get, laid out
// as the capture dialog sends them (one record as instance and property data,
// full length): the camera answers byte for byte what it answers on the
// monitor's channel, for every pattern format, uploads, status values and
// failures.
#include <objbase.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <cstring>
#include <vector>

#include "bench_fixture.h"
#include "com_ptr.h"
#include "ks_requests.h"
#include "win_guid.h"

using namespace benchtest;
using z9bench::MakeFault;

namespace {

const CLSID kClsidProxy = {0x17CCA71B, 0xECD7, 0x11D0, {0xB9, 0x08, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

struct Answer {
  HRESULT hr = E_FAIL;
  DWORD returned = 0;
  std::vector<uint8_t> record;
};

class FilterStills : public BenchTest {
 protected:
  void SetUp() override {
    BenchTest::SetUp();
    ASSERT_TRUE(ks.ok());
    ASSERT_TRUE(camera.ok());
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_TRUE(SUCCEEDED(
        CoCreateInstance(kClsidProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IKsPropertySet, props.put_void())));
  }
  void TearDown() override {
    props.reset();
    CoUninitialize();
    BenchTest::TearDown();
  }

  // Still buffer size (id 61) through the filter.
  Answer SizeThroughFilter() {
    Answer a;
    a.record.resize(z9::kStillSizeRequestSize);
    auto& rec = *reinterpret_cast<uint8_t(*)[z9::kStillSizeRequestSize]>(a.record.data());
    z9::BuildStillBufferSizeRequest(rec);
    a.hr = props->Get(ext, 61, rec, sizeof rec, rec, sizeof rec, &a.returned);
    return a;
  }

  Answer StillThroughFilter(size_t length) {
    Answer a;
    a.record.assign(length, 0);
    z9::BuildStillRequest(a.record.data(), length);
    a.hr = props->Get(ext, 34, a.record.data(), static_cast<DWORD>(length), a.record.data(),
                      static_cast<DWORD>(length), &a.returned);
    return a;
  }

  // The monitor's form: one buffer in and out through KsSynchronousDeviceControl.
  Answer StillThroughChannel(size_t length) {
    Answer a;
    a.record.assign(length, 0);
    z9::BuildStillRequest(a.record.data(), length);
    ULONG got = 0;
    a.hr = ks.Call(camera.get(), a.record.data(), static_cast<ULONG>(length), &got);
    a.returned = got;
    return a;
  }

  // Both paths, the same camera state: the same answer.
  void ExpectSameStill(size_t length, const char* what) {
    const Answer viaFilter = StillThroughFilter(length);
    const Answer viaChannel = StillThroughChannel(length);
    EXPECT_EQ(SUCCEEDED(viaFilter.hr), SUCCEEDED(viaChannel.hr)) << what;
    EXPECT_EQ(viaFilter.returned, viaChannel.returned) << what;
    ASSERT_EQ(viaFilter.record.size(), viaChannel.record.size());
    EXPECT_TRUE(viaFilter.record == viaChannel.record) << what << ": the records differ";
  }

  const GUID ext = z9::ToWinGuid(z9::kExtensionPropertySet);
  KsChannel ks;
  DeviceHandle camera;
  ComPtr<IKsPropertySet> props;
};

TEST_F(FilterStills, BufferSizeIsAnsweredAtOffset24AndFollowsTheBench) {
  Answer a = SizeThroughFilter();
  ASSERT_EQ(a.hr, S_OK);
  EXPECT_EQ(z9::GetU32(&a.record[24]), 921600u);
  // The same 32-byte record as instance and data: the header, then the record.
  const auto log = LogOf(Z9B_KIND_STILL_SIZE);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].inLength, 24u + 32u);
  EXPECT_EQ(log[0].outLength, 32u);
  EXPECT_EQ(log[0].id, 61u);
  EXPECT_EQ(log[0].flags, 1u);
  EXPECT_EQ(0, std::memcmp(log[0].in + 24, a.record.data(), 24));

  Z9B_STILL_CONFIG config{};
  ASSERT_TRUE(bench.GetStillConfig(&config));
  config.bufferSize = 1280u * 960u * 3u;
  ASSERT_TRUE(bench.SetStillConfig(config));
  a = SizeThroughFilter();
  EXPECT_EQ(z9::GetU32(&a.record[24]), 1280u * 960u * 3u);
  ASSERT_TRUE(bench.AddFault(MakeFault(Z9B_KIND_STILL_SIZE, Z9B_FAULT_VALUE, 4096, 1)));
  EXPECT_EQ(z9::GetU32(&SizeThroughFilter().record[24]), 4096u);
  ASSERT_TRUE(bench.AddFault(MakeFault(Z9B_KIND_STILL_SIZE, Z9B_FAULT_FAIL, 0, 1)));
  EXPECT_TRUE(FAILED(SizeThroughFilter().hr));
}

TEST_F(FilterStills, PatternInEveryFormatAndSizeCodeEqualsTheChannelsAnswer) {
  const struct {
    uint32_t format, sizeCode, width, height, bufferSize;
  } cases[] = {{Z9B_STILL_YUY2, 0, 640, 480, 921600},   {Z9B_STILL_RGB, 2, 352, 288, 921600},
               {Z9B_STILL_UYVY, 101, 640, 480, 921600}, {Z9B_STILL_I420, 4, 160, 120, 921600},
               {Z9B_STILL_RGB, 103, 640, 480, 921600},  {Z9B_STILL_YUY2, 1, 320, 240, 921600},
               {Z9B_STILL_RGB, 0, 2560, 2048, 2560 * 2048 * 3}};  // the largest snapshot
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    const size_t length = c.bufferSize + 48;
    Z9B_STILL_CONFIG config{c.format, c.sizeCode, c.width, c.height, c.bufferSize};
    ASSERT_TRUE(bench.SetStillConfig(config));
    const uint32_t from = [&] {
      Z9B_INFO info{};
      bench.GetInfo(&info);
      return info.nextSequence;
    }();
    const Answer a = StillThroughFilter(length);
    ASSERT_EQ(a.hr, S_OK);
    EXPECT_EQ(a.record[24], 0);
    EXPECT_EQ(a.record[25], c.format);
    EXPECT_EQ(a.record[26], c.sizeCode);
    EXPECT_EQ(z9::GetU32(&a.record[28]), c.height);
    EXPECT_EQ(z9::GetU32(&a.record[32]), c.width);
    const auto log = LogOf(Z9B_KIND_STILL, from);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].inLength, 24u + length) << "header, then the whole record as instance data";
    EXPECT_EQ(log[0].outLength, length);
    ExpectSameStill(length, "pattern");
  }
}

TEST_F(FilterStills, UploadsStatusValuesAndFailuresComeBackAsTheCameraAnswers) {
  const size_t length = 921600 + 48;
  // An upload, verbatim (sticky, so that both paths get it).
  std::vector<uint8_t> payload(5000);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
  Z9B_STILL_UPLOAD up{0, 8, 102, 480, 640, Z9B_UPLOAD_STICKY, 0};
  ASSERT_TRUE(bench.UploadStill(up, payload.data(), payload.size()));
  const Answer a = StillThroughFilter(length);
  ASSERT_EQ(a.hr, S_OK);
  EXPECT_EQ(a.record[25], 8);
  EXPECT_EQ(a.record[26], 102);
  EXPECT_EQ(a.returned, 40u + payload.size());
  EXPECT_EQ(0, std::memcmp(&a.record[40], payload.data(), payload.size()));
  ExpectSameStill(length, "upload");
  ASSERT_TRUE(bench.ClearUpload());

  // Status bytes 1 to 5: the status and no pixels.
  for (int status = 1; status <= 5; ++status) {
    ASSERT_TRUE(bench.AddFault(MakeFault(Z9B_KIND_STILL, Z9B_FAULT_VALUE, status, 3)));
    const Answer s = StillThroughFilter(length);
    ASSERT_EQ(s.hr, S_OK);
    EXPECT_EQ(s.record[24], status);
    EXPECT_EQ(s.returned, 40u);
    ExpectSameStill(length, "status");
    ASSERT_TRUE(bench.ClearFaults());
  }

  // A picture larger than the announced size: out of memory (3), no pixels.
  Z9B_STILL_CONFIG config{Z9B_STILL_RGB, 0, 640, 480, 100000};
  ASSERT_TRUE(bench.SetStillConfig(config));
  const Answer big = StillThroughFilter(length);
  EXPECT_EQ(big.record[24], 3);
  ExpectSameStill(length, "too large");

  // A failing camera fails the call.
  ASSERT_TRUE(bench.AddFault(MakeFault(Z9B_KIND_STILL, Z9B_FAULT_FAIL, 0, 1)));
  EXPECT_TRUE(FAILED(StillThroughFilter(length).hr));
  ASSERT_TRUE(bench.Unplug());
  EXPECT_TRUE(FAILED(StillThroughFilter(length).hr));
  ASSERT_TRUE(bench.Replug());
}

}  // namespace
