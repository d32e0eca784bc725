// Camera property access: the request layouts as object 0 receives them, the
// range algorithm's stops, answers that fail or fall short, and the same
// requests through the bench's proxy filter to the stand-in camera.
#include <gtest/gtest.h>

#include <cstring>

#include "bench_client.h"
#include "camera_access.h"
#include "control_tables.h"
#include "ks_interfaces.h"
#include "ks_requests.h"
#include "slider_rules.h"
#include "test_access_filter.h"
#include "win_handles.h"

using namespace z9::camprop;
using proptest::FakeFilter;
using proptest::QueryMode;
using proptest::Request;

namespace {

// A standard control as a fake camera answers it.
struct FakeControl {
  uint32_t access = 3;
  int32_t value = 5, flags = 2, caps = 3;
  int32_t minimum = -10, maximum = 20, step = 2, def = 4;
  uint32_t basicSize = z9::kBasicSupportSize;
  uint32_t defaultsSize = z9::kDefaultValuesSize;
};

HRESULT AnswerStandard(const FakeControl& c, const Request& r, ULONG* returned) {
  auto* d = static_cast<uint8_t*>(r.data);
  if (r.flags == z9::kKsPropertyTypeGet) {
    if (r.dataLength < 36) return E_FAIL;
    z9::PutI32(d + 24, c.value);
    z9::PutI32(d + 28, c.flags);
    z9::PutI32(d + 32, c.caps);
    *returned = 36;
    return S_OK;
  }
  if (r.flags == z9::kKsPropertyTypeSet) return S_OK;
  const bool basic = r.flags == z9::kKsPropertyTypeBasicSupport;
  const uint32_t full = basic ? c.basicSize : c.defaultsSize;
  if (r.dataLength == 4) {
    z9::PutU32(d, c.access);
    *returned = 4;
    return S_OK;
  }
  if (r.dataLength < z9::kDescriptionSize) return E_FAIL;
  z9::PutDescription(d, c.access, full, 1);
  *returned = z9::kDescriptionSize;
  if (r.dataLength < full || full <= z9::kDescriptionSize) return S_OK;
  if (full >= z9::kBasicSupportSize && basic) {
    z9::PutMembersHeader(d + 40, 2, 16, 1, 0);
    z9::PutStepping(d + 56, static_cast<uint32_t>(c.step), c.minimum, c.maximum);
  } else if (full >= z9::kDefaultValuesSize && !basic) {
    z9::PutMembersHeader(d + 40, 3, 4, 1, 1);
    z9::PutI32(d + 56, c.def);
  } else {
    // A description announcing fewer bytes than its layout: fill what it
    // claims with a pattern the page must not read as a range.
    std::memset(d + 40, 0x7F, full - 40);
  }
  *returned = full;
  return S_OK;
}

class FakeObject : public ::testing::Test {
 protected:
  void UseControl() {
    filter.handler = [this](const Request& r, ULONG* returned) { return AnswerStandard(control, r, returned); };
  }
  FakeControl control;
  FakeFilter filter;
  StandardControl entry{};
};

TEST_F(FakeObject, RangeReadSendsTheGetThenBasicSupportThenDefaultValuesQueries) {
  UseControl();
  ASSERT_EQ(S_OK, GetControlRange(filter.Unknown(), VideoProcAmpSet(), 3, &entry));

  // GET: one 44-byte buffer as property and data; then for each query kind
  // the 24-byte header with 4, 40 and the full description size.
  struct Expected {
    ULONG flags, propertyLength, dataLength;
  };
  const Expected expected[] = {{0x1, 44, 44},     {0x200, 24, 4},   {0x200, 24, 40}, {0x200, 24, 72},
                               {0x10000, 24, 4}, {0x10000, 24, 40}, {0x10000, 24, 60}};
  ASSERT_EQ(std::size(expected), filter.requests.size());
  for (size_t i = 0; i < filter.requests.size(); ++i) {
    const Request& r = filter.requests[i];
    SCOPED_TRACE(i);
    EXPECT_FALSE(r.viaPropertySet);
    EXPECT_TRUE(proptest::SameGuid(r.set, z9::kPropSetVideoProcAmp));
    EXPECT_EQ(3u, r.id);
    EXPECT_EQ(expected[i].flags, r.flags);
    EXPECT_EQ(expected[i].propertyLength, r.property.size());
    EXPECT_EQ(expected[i].dataLength, r.dataLength);
  }
  EXPECT_EQ(filter.requests[0].propertyPointer, filter.requests[0].data) << "GET must use one buffer";
  // The GET's reserved tail is zero.
  for (size_t b = 36; b < 44; ++b) EXPECT_EQ(0, filter.requests[0].property[b]) << b;

  EXPECT_EQ(5, entry.Value);
  EXPECT_EQ(2, entry.Flags);
  EXPECT_EQ(3, entry.Capabilities);
  EXPECT_EQ(1, entry.Baseline.Supported);
  EXPECT_EQ(5, entry.Baseline.Value);
  EXPECT_EQ(2, entry.Baseline.Flags);
  EXPECT_EQ(3, entry.Baseline.Capabilities);
  EXPECT_EQ(-10, entry.Baseline.Minimum);
  EXPECT_EQ(20, entry.Baseline.Maximum);
  EXPECT_EQ(2, entry.Baseline.Step);
  EXPECT_EQ(4, entry.Baseline.Default);
  EXPECT_EQ(1, filter.Refs()) << "every interface obtained was released";
}

TEST_F(FakeObject, AccessWithoutSetOrAFailedAccessQueryLeavesTheControlUnsupported) {
  control.access = 1;  // GET only
  UseControl();
  EXPECT_EQ(S_OK, GetControlRange(filter.Unknown(), VideoProcAmpSet(), 0, &entry));
  EXPECT_EQ(0, entry.Baseline.Supported);
  EXPECT_EQ(5, entry.Value) << "the GET still answered";
  EXPECT_EQ(2u, filter.requests.size()) << "no description query after a refused access";

  // A failed access query stops, even when it claims to have returned bytes.
  filter.requests.clear();
  entry = {};
  filter.handler = [this](const Request& r, ULONG* returned) {
    if (r.dataLength == 4) {
      z9::PutU32(static_cast<uint8_t*>(r.data), 3);
      *returned = 4;
      return E_FAIL;
    }
    return AnswerStandard(control, r, returned);
  };
  GetControlRange(filter.Unknown(), VideoProcAmpSet(), 0, &entry);
  EXPECT_EQ(0, entry.Baseline.Supported);
  EXPECT_EQ(2u, filter.requests.size());
}

TEST_F(FakeObject, ShortDescriptionsLeaveTheRangeAtZero) {
  // 40 bytes: no members at all; nothing more is asked.
  control.basicSize = 40;
  UseControl();
  GetControlRange(filter.Unknown(), VideoProcAmpSet(), 0, &entry);
  EXPECT_EQ(1, entry.Baseline.Supported);
  EXPECT_EQ(0, entry.Baseline.Minimum);
  EXPECT_EQ(0, entry.Baseline.Maximum);
  EXPECT_EQ(0, entry.Baseline.Step);
  EXPECT_EQ(3u, filter.requests.size());

  // 41..71 bytes announce members but not a whole stepping range: the
  // answer is not read past what it holds.
  for (uint32_t size : {41u, 56u, 71u}) {
    SCOPED_TRACE(size);
    control.basicSize = size;
    control.defaultsSize = 50;
    entry = {};
    filter.requests.clear();
    GetControlRange(filter.Unknown(), VideoProcAmpSet(), 0, &entry);
    EXPECT_EQ(1, entry.Baseline.Supported);
    EXPECT_EQ(0, entry.Baseline.Minimum);
    EXPECT_EQ(0, entry.Baseline.Maximum);
    EXPECT_EQ(0, entry.Baseline.Step);
    EXPECT_EQ(0, entry.Baseline.Default);
    EXPECT_EQ(size, filter.requests[3].dataLength);
  }

  // An absurd description size is not allocated or asked for.
  control.basicSize = 0x7FFFFFF0u;
  entry = {};
  filter.requests.clear();
  GetControlRange(filter.Unknown(), VideoProcAmpSet(), 0, &entry);
  EXPECT_EQ(1, entry.Baseline.Supported);
  EXPECT_EQ(3u, filter.requests.size());
}

TEST_F(FakeObject, FailedOrShortAnswersAreFailuresAndLeaveRecordsAlone) {
  // A GET that succeeds without its three values.
  filter.handler = [](const Request&, ULONG* returned) {
    *returned = 24;
    return S_OK;
  };
  entry.Value = 77;
  EXPECT_EQ(kShortAnswer, GetControlRange(filter.Unknown(), VideoProcAmpSet(), 0, &entry));
  EXPECT_EQ(77, entry.Value);
  EXPECT_EQ(0, entry.Baseline.Supported);
  EXPECT_EQ(1u, filter.requests.size());

  // Control-set record: failed and short GETs keep the record.
  z9::ControlInfo record{1, 2, 3, 4, 5, 6, 7, 8};
  const z9::ControlInfo before = record;
  filter.handler = [](const Request& r, ULONG* returned) {
    std::memset(r.data, 0x55, r.dataLength);
    *returned = 40;
    return S_OK;
  };
  EXPECT_EQ(kShortAnswer, GetExtControl(filter.Unknown(), 2, &record));
  EXPECT_EQ(0, std::memcmp(&before, &record, sizeof record));
  filter.handler = [](const Request&, ULONG*) { return HRESULT_FROM_WIN32(ERROR_NOT_FOUND); };
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_NOT_FOUND), GetExtControl(filter.Unknown(), 2, &record));
  EXPECT_EQ(0, std::memcmp(&before, &record, sizeof record));

  // The running stream: a failed or short answer gives zeros.
  int type = 9, width = 9, height = 9;
  filter.handler = [](const Request& r, ULONG* returned) {
    std::memset(r.data, 0x33, r.dataLength);
    *returned = 26;
    return S_OK;
  };
  EXPECT_EQ(kShortAnswer, GetStreamInfo(filter.Unknown(), &type, &width, &height));
  EXPECT_EQ(0, type);
  EXPECT_EQ(0, width);
  EXPECT_EQ(0, height);
}

TEST_F(FakeObject, AnObjectWithoutTheInterfacesFailsEveryCallWithoutCrashing) {
  for (QueryMode mode : {QueryMode::Refuse, QueryMode::NullPointer}) {
    filter.queryMode = mode;
    entry = {};
    EXPECT_EQ(E_NOINTERFACE, GetControlRange(filter.Unknown(), VideoProcAmpSet(), 0, &entry));
    EXPECT_EQ(0, entry.Baseline.Supported);
    EXPECT_EQ(E_NOINTERFACE, GetControl(filter.Unknown(), VideoProcAmpSet(), 0, &entry));
    bool requestFailed = true;
    EXPECT_EQ(E_NOINTERFACE, SetControl(filter.Unknown(), VideoProcAmpSet(), 0, entry, &requestFailed));
    EXPECT_FALSE(requestFailed) << "no request was sent";
    z9::ControlInfo record{};
    EXPECT_EQ(E_NOINTERFACE, GetExtControl(filter.Unknown(), 2, &record));
    EXPECT_EQ(E_NOINTERFACE, SetExtControl(filter.Unknown(), 2, record));
    int type = 1, width = 1, height = 1;
    EXPECT_EQ(E_NOINTERFACE, GetStreamInfo(filter.Unknown(), &type, &width, &height));
    EXPECT_EQ(0, width);
    EXPECT_TRUE(filter.requests.empty());
  }
  EXPECT_EQ(E_POINTER, GetControlRange(nullptr, VideoProcAmpSet(), 0, &entry));
  EXPECT_EQ(E_POINTER, SetExtControl(nullptr, 2, z9::ControlInfo{}));
  EXPECT_EQ(1, filter.Refs());
}

TEST_F(FakeObject, SetsCarryTheWorkingStateAndReportAFailedRequest) {
  filter.handler = [](const Request& r, ULONG*) { return r.id == 9 ? E_FAIL : S_OK; };
  entry.Value = -7;
  entry.Flags = 1;
  entry.Capabilities = 3;
  entry.Baseline.Value = 100;  // the baseline is never sent
  bool requestFailed = true;
  EXPECT_EQ(S_OK, SetControl(filter.Unknown(), CameraControlSet(), 4, entry, &requestFailed));
  EXPECT_FALSE(requestFailed);
  ASSERT_EQ(1u, filter.requests.size());
  const Request& r = filter.requests[0];
  uint8_t expected[z9::kStandardRequestSize];
  z9::BuildStandardRequest(expected, z9::kPropSetCameraControl, 4, z9::kKsPropertyTypeSet, {-7, 1, 3});
  ASSERT_EQ(sizeof expected, r.property.size());
  EXPECT_EQ(0, std::memcmp(expected, r.property.data(), sizeof expected));
  EXPECT_EQ(r.propertyPointer, r.data);
  EXPECT_EQ(44u, r.dataLength);

  EXPECT_EQ(E_FAIL, SetControl(filter.Unknown(), CameraControlSet(), 9, entry, &requestFailed));
  EXPECT_TRUE(requestFailed);
}

TEST_F(FakeObject, ControlSetAndStreamRequestsAreOneBufferAsInstanceAndData) {
  filter.handler = [](const Request& r, ULONG* returned) {
    auto* d = static_cast<uint8_t*>(r.data);
    if (proptest::SameGuid(r.set, z9::kExtensionPropertySet)) {
      d[24] = 1;
      z9::PutU16(d + 26, 1280);
      z9::PutU16(d + 28, 1024);
      *returned = 32;
      return S_OK;
    }
    if (!r.isSet) {
      z9::PutControlInfo(d + 24, {1, 2, 3, 0, 15, 1, 0, 0x105});
      *returned = 56;
    }
    return S_OK;
  };

  z9::ControlInfo record{9, 8, 7, 6, 5, 4, 3, 2};
  ASSERT_EQ(S_OK, GetExtControl(filter.Unknown(), 3, &record));
  EXPECT_EQ(0x105, record.Value);
  EXPECT_EQ(15, record.Maximum);
  ASSERT_EQ(S_OK, SetExtControl(filter.Unknown(), 3, {1, 1, 3, 0, 15, 1, 0, 0x102}));
  int type = 0, width = 0, height = 0;
  ASSERT_EQ(S_OK, GetStreamInfo(filter.Unknown(), &type, &width, &height));
  EXPECT_EQ(1, type);
  EXPECT_EQ(1280, width);
  EXPECT_EQ(1024, height);

  ASSERT_EQ(3u, filter.requests.size());
  uint8_t get[z9::kControlRequestSize], set[z9::kControlRequestSize], stream[z9::kStreamInfoRequestSize];
  z9::BuildControlRequest(get, 3, z9::kKsPropertyTypeGet, {9, 8, 7, 6, 5, 4, 3, 2});
  z9::BuildControlRequest(set, 3, z9::kKsPropertyTypeSet, {1, 1, 3, 0, 15, 1, 0, 0x102});
  z9::BuildStreamInfoRequest(stream);
  const struct {
    const uint8_t* bytes;
    size_t size;
    bool isSet;
    const z9::Guid* set;
    ULONG id;
  } expected[] = {{get, sizeof get, false, &z9::kControlPropertySet, 3},
                  {set, sizeof set, true, &z9::kControlPropertySet, 3},
                  {stream, sizeof stream, false, &z9::kExtensionPropertySet, 56}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const Request& r = filter.requests[i];
    EXPECT_TRUE(r.viaPropertySet);
    EXPECT_EQ(expected[i].isSet, r.isSet);
    EXPECT_TRUE(proptest::SameGuid(r.set, *expected[i].set));
    EXPECT_EQ(expected[i].id, r.id);
    ASSERT_EQ(expected[i].size, r.property.size());
    EXPECT_EQ(0, std::memcmp(expected[i].bytes, r.property.data(), expected[i].size));
    EXPECT_EQ(r.propertyPointer, r.data);
    EXPECT_EQ(expected[i].size, r.dataLength);
  }
}

TEST(SliderRule, NotificationsMoveWithinTheRange) {
  struct Case {
    int code;
    int32_t position, thumb, expected;
  };
  const Case cases[] = {
      {kSliderLineLeft, -64, 0, -64},   // at Minimum stays there
      {kSliderLineLeft, 10, 0, 9},      {kSliderLineRight, 10, 0, 11},
      {kSliderLineRight, 64, 0, 64},    // at Maximum stays there
      {kSliderThumbTrack, 0, -20, -20}, {kSliderThumbPosition, 0, 500, 64},
      {kSliderTop, 3, 0, 64},           {kSliderBottom, 3, 0, -64},
      {2 /* page left */, 7, 0, 7},     {8 /* end scroll */, 7, 0, 7},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, SliderTarget(c.code, c.position, c.thumb, -64, 64)) << "code " << c.code;
  // Positions at the ends of the 32-bit range do not wrap.
  EXPECT_EQ(INT32_MIN, SliderTarget(kSliderLineLeft, INT32_MIN, 0, INT32_MIN, INT32_MAX));
  EXPECT_EQ(INT32_MAX, SliderTarget(kSliderLineRight, INT32_MAX, 0, INT32_MIN, INT32_MAX));
}

// ---- through the bench's proxy filter to the stand-in camera ---------------------

constexpr CLSID kClsidProxy = {0x17CCA71B, 0xECD7, 0x11D0, {0xB9, 0x08, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

class BenchObject : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_TRUE(bench.Open(15000)) << "bench control device missing, error " << bench.LastError();
    ASSERT_TRUE(bench.Reset());
    ASSERT_EQ(S_OK, CoCreateInstance(kClsidProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, filter.put_void()));
  }
  void TearDown() override {
    filter.reset();
    if (bench.IsOpen()) bench.Reset();
    CoUninitialize();
  }
  std::vector<Z9B_LOG_ENTRY> Log() {
    std::vector<Z9B_LOG_ENTRY> all;
    EXPECT_TRUE(bench.ReadLog(&all));
    return all;
  }

  z9bench::Bench bench;
  z9::ComPtr<IUnknown> filter;
};

TEST_F(BenchObject, RangeOfAStandardControlComesFromTheCamera) {
  Z9B_CONTROL c{Z9B_GROUP_PROCAMP, 5, 1, 3, 2, 2, 72, 500, 4, 110, 150};
  ASSERT_TRUE(bench.SetControl(c));
  ASSERT_TRUE(bench.ClearLog());
  StandardControl gamma{};
  ASSERT_EQ(S_OK, GetControlRange(filter.get(), VideoProcAmpSet(), 5, &gamma));
  EXPECT_EQ(1, gamma.Baseline.Supported);
  EXPECT_EQ(150, gamma.Value);
  EXPECT_EQ(2, gamma.Flags);
  EXPECT_EQ(72, gamma.Baseline.Minimum);
  EXPECT_EQ(500, gamma.Baseline.Maximum);
  EXPECT_EQ(4, gamma.Baseline.Step);
  EXPECT_EQ(110, gamma.Baseline.Default);

  const std::vector<Z9B_LOG_ENTRY> log = Log();
  const uint32_t flags[] = {0x1, 0x200, 0x200, 0x200, 0x10000, 0x10000, 0x10000};
  const uint32_t out[] = {44, 4, 40, 72, 4, 40, 60};
  ASSERT_EQ(7u, log.size());
  for (size_t i = 0; i < log.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(static_cast<uint32_t>(Z9B_KIND_PROCAMP), log[i].kind);
    EXPECT_EQ(5u, log[i].id);
    EXPECT_EQ(flags[i], log[i].flags);
    EXPECT_EQ(out[i], log[i].outLength);
    EXPECT_EQ(0u, log[i].status);
  }

  // A SET reaches the camera with the working state.
  gamma.Value = 300;
  bool requestFailed = true;
  EXPECT_EQ(S_OK, SetControl(filter.get(), VideoProcAmpSet(), 5, gamma, &requestFailed));
  EXPECT_FALSE(requestFailed);
  ASSERT_TRUE(bench.GetControl(Z9B_GROUP_PROCAMP, 5, &c));
  EXPECT_EQ(300, c.value);
}

TEST_F(BenchObject, FailuresOfTheCameraReachTheCaller) {
  // The description query of brightness fails: unsupported despite its GET.
  Z9B_FAULT describe = z9bench::MakeFault(Z9B_KIND_PROCAMP, Z9B_FAULT_FAIL, 0, /*count=*/1, /*skip=*/1);
  describe.id = 0;
  describe.flags = z9::kKsPropertyTypeBasicSupport;
  ASSERT_TRUE(bench.AddFault(describe));
  StandardControl brightness{};
  EXPECT_EQ(S_OK, GetControlRange(filter.get(), VideoProcAmpSet(), 0, &brightness));
  EXPECT_EQ(0, brightness.Baseline.Supported);
  EXPECT_EQ(0, brightness.Baseline.Maximum);

  // Every request of the set fails: the GET's failure is the result.
  ASSERT_TRUE(bench.ClearFaults());
  ASSERT_TRUE(bench.AddFault(z9bench::MakeFault(Z9B_KIND_PROCAMP, Z9B_FAULT_FAIL)));
  brightness = {};
  EXPECT_TRUE(FAILED(GetControlRange(filter.get(), VideoProcAmpSet(), 0, &brightness)));
  EXPECT_EQ(0, brightness.Baseline.Supported);
  ASSERT_TRUE(bench.ClearFaults());

  // A control the camera lacks.
  Z9B_CONTROL none{Z9B_GROUP_EXT, 15, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_TRUE(bench.SetControl(none));
  z9::ControlInfo color{};
  EXPECT_TRUE(FAILED(GetExtControl(filter.get(), 15, &color)));
  EXPECT_EQ(0, color.Supported);
}

}  // namespace
