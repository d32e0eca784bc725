// Every request form, sent straight to the camera through the prefix's
// KsSynchronousDeviceControl, as the monitor, the pages and the capture
// dialog lay them out.
#include <cstring>

#include "bench_fixture.h"
#include "ks_requests.h"
#include "still_pattern.h"

using namespace benchtest;
using z9bench::MakeFault;

namespace {

class CameraRequests : public BenchTest {
 protected:
  void SetUp() override {
    BenchTest::SetUp();
    ASSERT_TRUE(ks.ok()) << "Ksproxy.ax in the system directory has no KsSynchronousDeviceControl";
    ASSERT_TRUE(camera.ok()) << "camera interface not found or not opened";
  }

  uint8_t Button() {
    uint8_t b[z9::kButtonRequestSize];
    z9::BuildButtonStateRequest(b);
    return SUCCEEDED(ks.Call(camera.get(), b, sizeof b)) ? z9::ButtonStateOfReply(b) : uint8_t{99};
  }

  bool WriteRegister(uint16_t address, uint8_t value) {
    uint8_t b[z9::kRegisterRequestSize];
    z9::BuildRegisterWriteCommand(b, address, value);
    if (FAILED(ks.Call(camera.get(), b, sizeof b))) return false;
    z9::TurnRegisterWriteIntoData(b);
    return SUCCEEDED(ks.Call(camera.get(), b, sizeof b));
  }

  bool ReadRegister(uint16_t address, uint8_t* value) {
    uint8_t b[z9::kRegisterRequestSize];
    z9::BuildRegisterReadCommand(b, address);
    if (FAILED(ks.Call(camera.get(), b, sizeof b))) return false;
    z9::TurnRegisterReadIntoData(b);
    if (FAILED(ks.Call(camera.get(), b, sizeof b))) return false;
    *value = z9::RegisterValueOfReply(b);
    return true;
  }

  HRESULT Standard(const z9::Guid& set, uint32_t id, uint32_t flags, z9::StandardControlValue* v) {
    uint8_t b[z9::kStandardRequestSize];
    z9::BuildStandardRequest(b, set, id, flags, *v);
    const HRESULT hr = ks.Call(camera.get(), b, sizeof b);
    if (SUCCEEDED(hr)) *v = z9::StandardValueOfReply(b);
    return hr;
  }

  // A description query: the 24-byte header as property, `length` bytes of data.
  HRESULT Describe(const z9::Guid& set, uint32_t id, uint32_t flags, std::vector<uint8_t>* data, size_t length,
                   ULONG* returned) {
    uint8_t header[z9::kKsPropertySize];
    z9::PutKsProperty(header, set, id, flags);
    data->assign(length, 0);
    return ks.Call(camera.get(), header, sizeof header, data->data(), static_cast<ULONG>(length), returned);
  }

  HRESULT ExtControl(uint32_t id, uint32_t flags, z9::ControlInfo* info) {
    uint8_t b[z9::kControlRequestSize];
    z9::BuildControlRequest(b, id, flags, *info);
    const HRESULT hr = ks.Call(camera.get(), b, sizeof b);
    if (SUCCEEDED(hr)) *info = z9::ControlInfoOfReply(b);
    return hr;
  }

  KsChannel ks;
  DeviceHandle camera;
};

TEST_F(CameraRequests, SetupApiFindsTheCameraByInstanceIdAndItsInterfaceOpens) {
  EXPECT_NE(camera.path().find("vid_fff1&pid_a14c&mi_00"), std::string::npos) << camera.path();
  EXPECT_NE(camera.path().find("{65e8773d-8f56-11d0-a3b9-00a0c9223196}"), std::string::npos) << camera.path();
  Z9B_DEVICE d{};
  ASSERT_TRUE(bench.FindDevice(z9bench::kCameraInstanceId, &d));
  EXPECT_EQ(d.role, uint32_t{Z9B_ROLE_CAMERA});
  EXPECT_EQ(d.openHandles, 1u);
  {
    DeviceHandle second;
    ASSERT_TRUE(second.ok());
    ASSERT_TRUE(bench.FindDevice(z9bench::kCameraInstanceId, &d));
    EXPECT_EQ(d.openHandles, 2u);
  }
  ASSERT_TRUE(bench.FindDevice(z9bench::kCameraInstanceId, &d));
  EXPECT_EQ(d.openHandles, 1u);
}

TEST_F(CameraRequests, ButtonStatesComeOutInQueueOrderThenZero) {
  ASSERT_TRUE(bench.PushButtons({1, 11, 2}));
  EXPECT_EQ(Button(), 1);
  EXPECT_EQ(Button(), 11);
  EXPECT_EQ(Button(), 2);
  EXPECT_EQ(Button(), 0);
  EXPECT_EQ(Button(), 0);

  Z9B_COUNTERS c{};
  ASSERT_TRUE(bench.GetCounters(&c));
  EXPECT_EQ(c.byKind[Z9B_KIND_BUTTON], 5u);
  EXPECT_EQ(c.buttonsPopped, 3u);
  const auto log = LogOf(Z9B_KIND_BUTTON);
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0].id, 32u);
  EXPECT_EQ(log[0].flags, 1u);
  EXPECT_EQ(log[0].inLength, 32u);
  EXPECT_EQ(log[0].in[24], 99) << "the monitor presets 99 at offset 24";
  EXPECT_EQ(log[0].slot, 0u);
}

TEST_F(CameraRequests, ButtonFaultsFailSkipWritingOrForceAState) {
  ASSERT_TRUE(bench.PushButtons({1, 1}));
  Z9B_FAULT fail = MakeFault(Z9B_KIND_BUTTON, Z9B_FAULT_FAIL, 0, /*count=*/1);
  ASSERT_TRUE(bench.AddFault(fail));
  uint8_t b[z9::kButtonRequestSize];
  z9::BuildButtonStateRequest(b);
  EXPECT_TRUE(FAILED(ks.Call(camera.get(), b, sizeof b)));
  EXPECT_EQ(Button(), 1) << "a failed request must not consume a queued state";

  ASSERT_TRUE(bench.ClearFaults());
  ASSERT_TRUE(bench.AddFault(MakeFault(Z9B_KIND_BUTTON, Z9B_FAULT_NOWRITE, 0, 1)));
  z9::BuildButtonStateRequest(b);
  EXPECT_TRUE(SUCCEEDED(ks.Call(camera.get(), b, sizeof b)));
  EXPECT_EQ(b[24], 99) << "succeeding without writing leaves the caller's preset";
  EXPECT_EQ(Button(), 1);

  ASSERT_TRUE(bench.AddFault(MakeFault(Z9B_KIND_BUTTON, Z9B_FAULT_VALUE, 11, /*count=*/2, /*skip=*/1)));
  EXPECT_EQ(Button(), 0);
  EXPECT_EQ(Button(), 11);
  EXPECT_EQ(Button(), 11);
  EXPECT_EQ(Button(), 0);

  Z9B_COUNTERS c{};
  ASSERT_TRUE(bench.GetCounters(&c));
  EXPECT_EQ(c.faultsApplied, 4u);
  EXPECT_EQ(c.failuresByKind[Z9B_KIND_BUTTON], 1u);
}

TEST_F(CameraRequests, StillBufferSizeIsAnsweredAtOffset24) {
  uint8_t b[z9::kStillSizeRequestSize];
  z9::BuildStillBufferSizeRequest(b);
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), b, sizeof b)));
  EXPECT_EQ(z9::StillBufferSizeOfReply(b), 921600u);

  Z9B_STILL_CONFIG cfg{};
  ASSERT_TRUE(bench.GetStillConfig(&cfg));
  cfg.bufferSize = 614400;
  ASSERT_TRUE(bench.SetStillConfig(cfg));
  z9::BuildStillBufferSizeRequest(b);
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), b, sizeof b)));
  EXPECT_EQ(z9::StillBufferSizeOfReply(b), 614400u);

  ASSERT_TRUE(bench.AddFault(MakeFault(Z9B_KIND_STILL_SIZE, Z9B_FAULT_VALUE, 0)));
  z9::BuildStillBufferSizeRequest(b);
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), b, sizeof b)));
  EXPECT_EQ(z9::StillBufferSizeOfReply(b), 0u);
}

TEST_F(CameraRequests, RegistersFollowTheTwoPhaseProtocol) {
  ASSERT_TRUE(WriteRegister(0x1234, 0x5A));
  uint8_t v = 0;
  ASSERT_TRUE(ReadRegister(0x1234, &v));
  EXPECT_EQ(v, 0x5A);
  ASSERT_TRUE(bench.GetRegister(0x1234, &v));
  EXPECT_EQ(v, 0x5A);
  ASSERT_TRUE(ReadRegister(0x4321, &v));
  EXPECT_EQ(v, 0) << "unmapped registers read as zero";
  ASSERT_TRUE(bench.SetRegister(0x8000, 0x77));
  ASSERT_TRUE(ReadRegister(0x8000, &v));
  EXPECT_EQ(v, 0x77);

  // A data phase with no command before it, and a read answered by a SET, fail.
  uint8_t b[z9::kRegisterRequestSize];
  z9::BuildRegisterReadCommand(b, 0x1234);
  z9::TurnRegisterReadIntoData(b);
  EXPECT_TRUE(FAILED(ks.Call(camera.get(), b, sizeof b)));
  z9::BuildRegisterReadCommand(b, 0x1234);
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), b, sizeof b)));
  b[24] = 0;  // data phase, but still flagged SET
  EXPECT_TRUE(FAILED(ks.Call(camera.get(), b, sizeof b)));

  Z9B_COUNTERS c{};
  ASSERT_TRUE(bench.GetCounters(&c));
  EXPECT_EQ(c.registerWrites, 1u);
  EXPECT_EQ(c.registerReads, 3u);
}

TEST_F(CameraRequests, RegisterFaultCanHitTheSecondCallOnly) {
  Z9B_FAULT f = MakeFault(Z9B_KIND_REGISTER, Z9B_FAULT_FAIL, 0, /*count=*/1, /*skip=*/1);
  ASSERT_TRUE(bench.AddFault(f));
  EXPECT_FALSE(WriteRegister(0x1000, 1));
  uint8_t v = 0xFF;
  ASSERT_TRUE(bench.GetRegister(0x1000, &v));
  EXPECT_EQ(v, 0) << "the write's data phase failed, so nothing was stored";

  ASSERT_TRUE(bench.AddFault(MakeFault(Z9B_KIND_REGISTER, Z9B_FAULT_VALUE, 0xC3)));
  ASSERT_TRUE(ReadRegister(0x1000, &v));
  EXPECT_EQ(v, 0xC3);
}

// Pin 6 of the general-purpose outputs lights the indicator.
TEST_F(CameraRequests, LightCountsOnPulsesOfOutputPinSix) {
  auto pin6 = [&](bool on) {
    uint8_t dir = 0, level = 0;
    ASSERT_TRUE(ReadRegister(0x8177, &dir));
    ASSERT_TRUE(ReadRegister(0x8176, &level));
    ASSERT_TRUE(WriteRegister(0x8177, dir | 0x40));
    ASSERT_TRUE(WriteRegister(0x8176, on ? (level | 0x40) : (level & ~0x40)));
  };
  pin6(true);
  pin6(false);
  pin6(true);
  Z9B_LIGHT l{};
  ASSERT_TRUE(bench.GetLight(&l));
  EXPECT_EQ(l.pulses, 2u);
  EXPECT_EQ(l.on, 1u);
  EXPECT_EQ(l.direction, 0x40u);
  pin6(false);
  // Level high on a pin that is not an output does not light anything.
  ASSERT_TRUE(WriteRegister(0x8177, 0x00));
  ASSERT_TRUE(WriteRegister(0x8176, 0x40));
  ASSERT_TRUE(bench.GetLight(&l));
  EXPECT_EQ(l.pulses, 2u);
  EXPECT_EQ(l.on, 0u);
}

TEST_F(CameraRequests, StreamInfoReportsTypeAndFrameSize) {
  uint8_t b[z9::kStreamInfoRequestSize];
  z9::BuildStreamInfoRequest(b);
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), b, sizeof b)));
  z9::StreamInfo s = z9::StreamInfoOfReply(b);
  EXPECT_EQ(s.type, 1);
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);
  ASSERT_TRUE(bench.SetStreamInfo(0, 352, 288));
  z9::BuildStreamInfoRequest(b);
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), b, sizeof b)));
  s = z9::StreamInfoOfReply(b);
  EXPECT_EQ(s.type, 0);
  EXPECT_EQ(s.width, 352);
  EXPECT_EQ(s.height, 288);
}

// The colour of picture point (x, y) in a pattern still's payload.
struct Yuv {
  uint8_t y, u, v;
};
Yuv PatternPixel(const uint8_t* p, uint32_t format, uint32_t w, uint32_t h, uint32_t x, uint32_t y) {
  switch (format) {
    case Z9B_STILL_RGB: {
      const uint8_t* q = p + ((h - 1 - y) * w + x) * 3;
      return {q[2], q[1], q[0]};  // r, g, b in the three fields
    }
    case Z9B_STILL_YUY2: {
      const uint8_t* q = p + (y * w + (x & ~1u)) * 2;
      return {q[(x & 1) ? 2 : 0], q[1], q[3]};
    }
    case Z9B_STILL_UYVY: {
      const uint8_t* q = p + (y * w + (x & ~1u)) * 2;
      return {q[(x & 1) ? 3 : 1], q[0], q[2]};
    }
    default: {  // I420
      const uint8_t* u = p + w * h;
      const uint8_t* v = u + (w / 2) * (h / 2);
      return {p[y * w + x], u[(y / 2) * (w / 2) + x / 2], v[(y / 2) * (w / 2) + x / 2]};
    }
  }
}

TEST_F(CameraRequests, StillPatternInEveryFormatWithTheChosenSizeCode) {
  const uint32_t formats[] = {Z9B_STILL_RGB, Z9B_STILL_YUY2, Z9B_STILL_UYVY, Z9B_STILL_I420};
  std::vector<uint8_t> buffer(921600 + 48);
  for (uint32_t format : formats) {
    SCOPED_TRACE(format);
    Z9B_STILL_CONFIG cfg{format, 102, 640, 480, 921600};
    ASSERT_TRUE(bench.SetStillConfig(cfg));
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    ASSERT_TRUE(z9::BuildStillRequest(buffer.data(), buffer.size()));
    ULONG returned = 0;
    ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), buffer.data(), static_cast<ULONG>(buffer.size()), &returned)));
    const uint32_t payload = z9b_pattern_size(format, 640, 480);
    EXPECT_EQ(returned, 40 + payload);
    EXPECT_EQ(buffer[24], 0);
    EXPECT_EQ(buffer[25], format);
    EXPECT_EQ(buffer[26], 102);
    EXPECT_EQ(z9::GetU32(&buffer[28]), 480u);
    EXPECT_EQ(z9::GetU32(&buffer[32]), 640u);
    EXPECT_EQ(buffer[40 + payload], 0xEE) << "nothing written past the payload";
    const struct {
      uint32_t x, y, bar;
    } probes[] = {{0, 0, 0}, {639, 0, 7}, {100, 10, 1}, {0, 479, 7}, {639, 479, 0}, {330, 300, 3}};
    for (const auto& pr : probes) {
      const Yuv got = PatternPixel(buffer.data() + 40, format, 640, 480, pr.x, pr.y);
      const Z9B_BAR_COLOUR& c = kZ9bBars[pr.bar];
      if (format == Z9B_STILL_RGB) {
        EXPECT_EQ(got.y, c.r) << pr.x << "," << pr.y;
        EXPECT_EQ(got.u, c.g) << pr.x << "," << pr.y;
        EXPECT_EQ(got.v, c.b) << pr.x << "," << pr.y;
      } else {
        EXPECT_EQ(got.y, c.y) << pr.x << "," << pr.y;
        EXPECT_EQ(got.u, c.u) << pr.x << "," << pr.y;
        EXPECT_EQ(got.v, c.v) << pr.x << "," << pr.y;
      }
    }
  }
  Z9B_COUNTERS c{};
  ASSERT_TRUE(bench.GetCounters(&c));
  EXPECT_EQ(c.stillsDelivered, 4u);
}

TEST_F(CameraRequests, UploadedStillIsReturnedOnceVerbatim) {
  const uint8_t payload[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  Z9B_STILL_UPLOAD up{};
  up.status = 0;
  up.format = 8;
  up.sizeCode = 101;
  up.height = 2;
  up.width = 4;
  ASSERT_TRUE(bench.UploadStill(up, payload, sizeof payload));
  std::vector<uint8_t> buffer(921600 + 48, 0);
  ASSERT_TRUE(z9::BuildStillRequest(buffer.data(), buffer.size()));
  ULONG returned = 0;
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), buffer.data(), static_cast<ULONG>(buffer.size()), &returned)));
  EXPECT_EQ(returned, 50u);
  EXPECT_EQ(buffer[25], 8);
  EXPECT_EQ(buffer[26], 101);
  EXPECT_EQ(z9::GetU32(&buffer[28]), 2u);
  EXPECT_EQ(z9::GetU32(&buffer[32]), 4u);
  EXPECT_EQ(0, std::memcmp(&buffer[40], payload, sizeof payload));

  // Consumed: the next still is the pattern again.
  ASSERT_TRUE(z9::BuildStillRequest(buffer.data(), buffer.size()));
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), buffer.data(), static_cast<ULONG>(buffer.size()), &returned)));
  EXPECT_EQ(buffer[25], Z9B_STILL_YUY2);
  EXPECT_EQ(returned, 40u + 640 * 480 * 2);

  // A failure status without a picture, answered until cleared.
  up = Z9B_STILL_UPLOAD{};
  up.status = 2;
  up.flags = Z9B_UPLOAD_STICKY;
  ASSERT_TRUE(bench.UploadStill(up, nullptr, 0));
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(z9::BuildStillRequest(buffer.data(), buffer.size()));
    ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), buffer.data(), static_cast<ULONG>(buffer.size()), &returned)));
    EXPECT_EQ(buffer[24], 2);
    EXPECT_EQ(returned, 40u);
  }
  ASSERT_TRUE(bench.ClearUpload());
  ASSERT_TRUE(z9::BuildStillRequest(buffer.data(), buffer.size()));
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), buffer.data(), static_cast<ULONG>(buffer.size()))));
  EXPECT_EQ(buffer[24], 0);
}

TEST_F(CameraRequests, StillThatDoesNotFitReportsOutOfMemoryAndWritesNoPixels) {
  std::vector<uint8_t> buffer(40 + 1000, 0xEE);
  ASSERT_TRUE(z9::BuildStillRequest(buffer.data(), buffer.size()));
  ULONG returned = 0;
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), buffer.data(), static_cast<ULONG>(buffer.size()), &returned)));
  EXPECT_EQ(buffer[24], 3);
  EXPECT_EQ(returned, 40u);
  EXPECT_EQ(buffer[40], 0xEE);

  // The announced size also bounds the payload.
  Z9B_STILL_CONFIG cfg{Z9B_STILL_RGB, 0, 640, 480, 640 * 480 * 2};
  ASSERT_TRUE(bench.SetStillConfig(cfg));
  buffer.assign(921600 + 48, 0);
  ASSERT_TRUE(z9::BuildStillRequest(buffer.data(), buffer.size()));
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), buffer.data(), static_cast<ULONG>(buffer.size()))));
  EXPECT_EQ(buffer[24], 3);

  // Too short for the header: a failure.
  uint8_t small[39] = {};
  z9::PutKsProperty(small, z9::kExtensionPropertySet, z9::kExtStill, z9::kKsPropertyTypeGet);
  EXPECT_TRUE(FAILED(ks.Call(camera.get(), small, sizeof small)));

  // A forced status carries no picture.
  ASSERT_TRUE(bench.AddFault(MakeFault(Z9B_KIND_STILL, Z9B_FAULT_VALUE, 4)));
  ASSERT_TRUE(z9::BuildStillRequest(buffer.data(), buffer.size()));
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), buffer.data(), static_cast<ULONG>(buffer.size()), &returned)));
  EXPECT_EQ(buffer[24], 4);
  EXPECT_EQ(returned, 40u);
}

TEST_F(CameraRequests, ControlSetAnswersEveryIdWithItsControlInfo) {
  for (uint32_t id : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 15u, 16u, 17u, 18u}) {
    z9::ControlInfo info{};
    ASSERT_TRUE(SUCCEEDED(ExtControl(id, z9::kKsPropertyTypeGet, &info))) << id;
    EXPECT_EQ(info.Supported, 1) << id;
    EXPECT_TRUE(info.Flags == 1 || info.Flags == 2) << id;
    EXPECT_LE(info.Minimum, info.Maximum) << id;
  }
  for (uint32_t id : {8u, 14u, 19u, 20u, 1000u}) {
    z9::ControlInfo info{};
    EXPECT_TRUE(FAILED(ExtControl(id, z9::kKsPropertyTypeGet, &info))) << id;
  }

  z9::ControlInfo gain{};
  ASSERT_TRUE(SUCCEEDED(ExtControl(4, z9::kKsPropertyTypeGet, &gain)));
  gain.Value = 200;
  gain.Flags = 2;
  ASSERT_TRUE(SUCCEEDED(ExtControl(4, z9::kKsPropertyTypeSet, &gain)));
  z9::ControlInfo back{};
  ASSERT_TRUE(SUCCEEDED(ExtControl(4, z9::kKsPropertyTypeGet, &back)));
  EXPECT_EQ(back.Value, 200);
  Z9B_CONTROL c{};
  ASSERT_TRUE(bench.GetControl(Z9B_GROUP_EXT, 4, &c));
  EXPECT_EQ(c.value, 200);

  // A test can replace a record; a read-only control refuses SET.
  c.access = 1;
  c.supported = 0;
  c.value = 5;
  ASSERT_TRUE(bench.SetControl(c));
  ASSERT_TRUE(SUCCEEDED(ExtControl(4, z9::kKsPropertyTypeGet, &back)));
  EXPECT_EQ(back.Supported, 0);
  EXPECT_EQ(back.Value, 5);
  EXPECT_TRUE(FAILED(ExtControl(4, z9::kKsPropertyTypeSet, &back)));
}

TEST_F(CameraRequests, StandardControlsAnswerGetSetAccessAndDescriptions) {
  struct Id {
    const z9::Guid* set;
    uint32_t group, id;
  };
  std::vector<Id> ids;
  for (uint32_t id : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 13u})
    ids.push_back({&z9::kPropSetVideoProcAmp, Z9B_GROUP_PROCAMP, id});
  for (uint32_t id : {0u, 1u, 3u, 4u, 6u, 19u})
    ids.push_back({&z9::kPropSetCameraControl, Z9B_GROUP_CAMCONTROL, id});

  for (const Id& c : ids) {
    SCOPED_TRACE(testing::Message() << "group " << c.group << " id " << c.id);
    Z9B_CONTROL model{};
    ASSERT_TRUE(bench.GetControl(c.group, c.id, &model));
    z9::StandardControlValue v{};
    ASSERT_TRUE(SUCCEEDED(Standard(*c.set, c.id, z9::kKsPropertyTypeGet, &v)));
    EXPECT_EQ(v.value, model.value);
    EXPECT_EQ(v.flags, model.flags);
    EXPECT_EQ(v.capabilities, model.capabilities);

    std::vector<uint8_t> data;
    ULONG returned = 0;
    ASSERT_TRUE(SUCCEEDED(Describe(*c.set, c.id, z9::kKsPropertyTypeBasicSupport, &data, 4, &returned)));
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(z9::GetU32(data.data()), z9::kAccessGet | z9::kAccessSet);

    ASSERT_TRUE(SUCCEEDED(Describe(*c.set, c.id, z9::kKsPropertyTypeBasicSupport, &data, 40, &returned)));
    z9::PropertyDescription d = z9::DescriptionOfReply(data.data());
    EXPECT_EQ(d.descriptionSize, z9::kBasicSupportSize);
    EXPECT_EQ(d.membersListCount, 1u);
    ASSERT_TRUE(SUCCEEDED(Describe(*c.set, c.id, z9::kKsPropertyTypeBasicSupport, &data, d.descriptionSize,
                                   &returned)));
    EXPECT_EQ(returned, z9::kBasicSupportSize);
    const z9::SteppingRange r = z9::SteppingOfReply(data.data());
    EXPECT_EQ(r.minimum, model.minimum);
    EXPECT_EQ(r.maximum, model.maximum);
    EXPECT_EQ(r.steppingDelta, static_cast<uint32_t>(model.step));

    ASSERT_TRUE(SUCCEEDED(Describe(*c.set, c.id, z9::kKsPropertyTypeDefaultValues, &data, 40, &returned)));
    d = z9::DescriptionOfReply(data.data());
    EXPECT_EQ(d.descriptionSize, z9::kDefaultValuesSize);
    ASSERT_TRUE(SUCCEEDED(Describe(*c.set, c.id, z9::kKsPropertyTypeDefaultValues, &data, d.descriptionSize,
                                   &returned)));
    EXPECT_EQ(z9::DefaultValueOfReply(data.data()), model.def);

    v.value = model.minimum;
    v.flags = 2;
    ASSERT_TRUE(SUCCEEDED(Standard(*c.set, c.id, z9::kKsPropertyTypeSet, &v)));
    ASSERT_TRUE(bench.GetControl(c.group, c.id, &model));
    EXPECT_EQ(model.value, v.value);
    EXPECT_EQ(model.flags, 2);
  }
}

TEST_F(CameraRequests, ReplacedStandardControlChangesItsAnswers) {
  Z9B_CONTROL c{};
  ASSERT_TRUE(bench.GetControl(Z9B_GROUP_PROCAMP, 0, &c));
  c.minimum = -10;
  c.maximum = 10;
  c.step = 2;
  c.def = 4;
  c.access = 1;  // GET only: the pages show such a control disabled
  ASSERT_TRUE(bench.SetControl(c));
  std::vector<uint8_t> data;
  ULONG returned = 0;
  ASSERT_TRUE(SUCCEEDED(Describe(z9::kPropSetVideoProcAmp, 0, z9::kKsPropertyTypeBasicSupport, &data, 4, &returned)));
  EXPECT_EQ(z9::GetU32(data.data()), 1u);
  ASSERT_TRUE(SUCCEEDED(Describe(z9::kPropSetVideoProcAmp, 0, z9::kKsPropertyTypeBasicSupport, &data, 72, &returned)));
  const z9::SteppingRange r = z9::SteppingOfReply(data.data());
  EXPECT_EQ(r.minimum, -10);
  EXPECT_EQ(r.maximum, 10);
  EXPECT_EQ(r.steppingDelta, 2u);
  z9::StandardControlValue v{};
  EXPECT_TRUE(FAILED(Standard(z9::kPropSetVideoProcAmp, 0, z9::kKsPropertyTypeSet, &v)));

  // Absent controls fail every request.
  EXPECT_TRUE(FAILED(Standard(z9::kPropSetCameraControl, 2, z9::kKsPropertyTypeGet, &v)));  // roll
  EXPECT_TRUE(FAILED(Describe(z9::kPropSetCameraControl, 5, z9::kKsPropertyTypeBasicSupport, &data, 4, &returned)));
  c = Z9B_CONTROL{};
  c.group = Z9B_GROUP_CAMCONTROL;
  c.id = 2;
  c.supported = 1;
  c.access = 3;
  c.maximum = 90;
  ASSERT_TRUE(bench.SetControl(c));
  EXPECT_TRUE(SUCCEEDED(Standard(z9::kPropSetCameraControl, 2, z9::kKsPropertyTypeGet, &v)));
}

// Short buffers, unknown sets and ids fail, and nothing is written beyond the
// length a request gives.
TEST_F(CameraRequests, BadRequestsFailWithoutTouchingMemoryOutsideTheirBuffers) {
  std::vector<uint8_t> big(256, 0xEE);
  auto send = [&](const z9::Guid& set, uint32_t id, uint32_t flags, ULONG length) {
    std::fill(big.begin(), big.end(), 0xEE);
    z9::PutKsProperty(big.data(), set, id, flags);
    return ks.Call(camera.get(), big.data(), length);
  };
  const z9::Guid unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_TRUE(FAILED(send(unknown, 0, 1, 64)));
  EXPECT_TRUE(FAILED(send(z9::kExtensionPropertySet, 33, 1, 64)));
  EXPECT_TRUE(FAILED(send(z9::kExtensionPropertySet, 32, 2, 32))) << "the button state cannot be set";
  EXPECT_TRUE(FAILED(send(z9::kControlPropertySet, 4, 1, 55)));
  EXPECT_EQ(big[55], 0xEE);
  EXPECT_TRUE(FAILED(send(z9::kPropSetVideoProcAmp, 0, 1, 35)));
  EXPECT_EQ(big[24], 0xEE);
  EXPECT_TRUE(FAILED(send(z9::kExtensionPropertySet, 61, 1, 27)));
  EXPECT_TRUE(FAILED(send(z9::kExtensionPropertySet, 54, 2, 94)));
  EXPECT_TRUE(FAILED(send(z9::kExtensionPropertySet, 32, 1, 23))) << "shorter than the header";
  EXPECT_TRUE(FAILED(ks.Call(camera.get(), nullptr, 0, nullptr, 0)));
  for (size_t i = 64; i < big.size(); ++i) ASSERT_EQ(big[i], 0xEE) << i;

  // A button request of 25 bytes is enough, and only byte 24 changes.
  ASSERT_TRUE(bench.PushButtons({1}));
  EXPECT_TRUE(SUCCEEDED(send(z9::kExtensionPropertySet, 32, 1, 25)));
  EXPECT_EQ(big[24], 1);
  EXPECT_EQ(big[25], 0xEE);

  Z9B_COUNTERS c{};
  ASSERT_TRUE(bench.GetCounters(&c));
  EXPECT_EQ(c.failures, 9u);
  EXPECT_EQ(c.failuresByKind[Z9B_KIND_OTHER], 4u);
}

TEST_F(CameraRequests, LogKeepsTheLastRequestsWithTheirFirstBytes) {
  uint8_t b[z9::kRegisterRequestSize];
  z9::BuildRegisterWriteCommand(b, 0x8176, 0x40);
  ASSERT_TRUE(SUCCEEDED(ks.Call(camera.get(), b, sizeof b)));
  std::vector<Z9B_LOG_ENTRY> log;
  ASSERT_TRUE(bench.ReadLog(&log));
  ASSERT_EQ(log.size(), 1u);
  const Z9B_LOG_ENTRY& e = log[0];
  EXPECT_EQ(e.kind, uint32_t{Z9B_KIND_REGISTER});
  EXPECT_EQ(e.ioctl, 0x2F0003u);
  EXPECT_EQ(0, std::memcmp(e.set, b, 16));
  EXPECT_EQ(e.id, 54u);
  EXPECT_EQ(e.flags, 2u);
  EXPECT_EQ(e.inLength, 160u);
  EXPECT_EQ(e.outLength, 160u);
  EXPECT_EQ(e.status, 0u);
  EXPECT_EQ(0, std::memcmp(e.in, b, Z9B_LOG_IN_BYTES)) << "bytes 0..95, the register value at 94 included";
  EXPECT_EQ(e.in[94], 0x40);

  // Bounded: after more requests than it holds, the newest remain, in order.
  Z9B_INFO info{};
  ASSERT_TRUE(bench.GetInfo(&info));
  const uint32_t first = info.nextSequence;
  for (uint32_t i = 0; i < Z9B_LOG_ENTRIES + 20; ++i) Button();
  ASSERT_TRUE(bench.ReadLog(&log));
  ASSERT_EQ(log.size(), Z9B_LOG_ENTRIES);
  EXPECT_EQ(log.front().sequence, first + 20);
  EXPECT_EQ(log.back().sequence, first + Z9B_LOG_ENTRIES + 19);
  ASSERT_TRUE(bench.ReadLog(&log, first + Z9B_LOG_ENTRIES + 10));
  EXPECT_EQ(log.size(), 10u);

  ASSERT_TRUE(bench.ClearLog());
  ASSERT_TRUE(bench.ReadLog(&log));
  EXPECT_TRUE(log.empty());
  Z9B_COUNTERS c{};
  ASSERT_TRUE(bench.GetCounters(&c));
  EXPECT_EQ(c.requests, 0u);
}

}  // namespace
