// The request layouts byte for byte, against hand-written expected buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ks_requests.h"

using namespace z9;

namespace {

const uint8_t kExtSetBytes[16] = {0xA2, 0x39, 0x96, 0xEB, 0x73, 0x97, 0xF4, 0x4A,
                                  0xAF, 0x2B, 0x30, 0x32, 0xDC, 0x22, 0x30, 0x00};
const uint8_t kCtlSetBytes[16] = {0xCC, 0xBF, 0x38, 0x8C, 0x4D, 0x8D, 0x5A, 0x4A,
                                  0x88, 0x5B, 0x27, 0x0A, 0x9B, 0x4B, 0x60, 0x03};
const uint8_t kProcAmpBytes[16] = {0x60, 0x33, 0xE1, 0xC6, 0xAC, 0x30, 0xD0, 0x11,
                                   0xA1, 0x8C, 0x00, 0xA0, 0xC9, 0x11, 0x89, 0x56};

// Prints the first differing offset, which is what one wants to know.
::testing::AssertionResult SameBytes(const uint8_t* got, const std::vector<uint8_t>& want) {
  for (size_t i = 0; i < want.size(); ++i) {
    if (got[i] != want[i]) {
      return ::testing::AssertionFailure() << "offset " << i << ": got 0x" << std::hex << int(got[i])
                                           << ", expected 0x" << int(want[i]);
    }
  }
  return ::testing::AssertionSuccess();
}

std::vector<uint8_t> Header(const uint8_t (&set)[16], uint32_t id, uint32_t flags, size_t total) {
  std::vector<uint8_t> v(total, 0);
  std::memcpy(v.data(), set, 16);
  for (int i = 0; i < 4; ++i) v[16 + i] = uint8_t(id >> (8 * i));
  for (int i = 0; i < 4; ++i) v[20 + i] = uint8_t(flags >> (8 * i));
  return v;
}

}  // namespace

TEST(KsRequests, GuidsAreStoredLittleEndianWithTrailingBytesInOrder) {
  uint8_t b[16];
  PutGuid(b, kExtensionPropertySet);
  EXPECT_TRUE(SameBytes(b, std::vector<uint8_t>(kExtSetBytes, kExtSetBytes + 16)));
  PutGuid(b, kControlPropertySet);
  EXPECT_TRUE(SameBytes(b, std::vector<uint8_t>(kCtlSetBytes, kCtlSetBytes + 16)));
  PutGuid(b, kPropSetVideoProcAmp);
  EXPECT_TRUE(SameBytes(b, std::vector<uint8_t>(kProcAmpBytes, kProcAmpBytes + 16)));
  EXPECT_TRUE(GetGuid(kCtlSetBytes) == kControlPropertySet);
  EXPECT_FALSE(kPropSetVideoProcAmp == kPropSetCameraControl);
}

TEST(KsRequests, ButtonStateRequestPresetsNoResponse) {
  uint8_t buf[kButtonRequestSize];
  std::memset(buf, 0xCD, sizeof buf);
  BuildButtonStateRequest(buf);
  auto want = Header(kExtSetBytes, 0x20, 1, 32);
  want[24] = 99;
  EXPECT_TRUE(SameBytes(buf, want));
  buf[24] = 11;
  EXPECT_EQ(11, ButtonStateOfReply(buf));
}

TEST(KsRequests, StillBufferSizeRequestAndReply) {
  uint8_t buf[kStillSizeRequestSize];
  std::memset(buf, 0xCD, sizeof buf);
  BuildStillBufferSizeRequest(buf);
  EXPECT_TRUE(SameBytes(buf, Header(kExtSetBytes, 0x3D, 1, 32)));
  buf[24] = 0x00; buf[25] = 0x10; buf[26] = 0x0E; buf[27] = 0x00;  // 921600
  EXPECT_EQ(921600u, StillBufferSizeOfReply(buf));
}

TEST(KsRequests, RegisterReadIsSetCommandThenGetDataOnTheSameBuffer) {
  uint8_t buf[kRegisterRequestSize];
  std::memset(buf, 0xCD, sizeof buf);
  BuildRegisterReadCommand(buf, 0x8177);
  auto want = Header(kExtSetBytes, 0x36, 2, 160);
  const uint8_t cmd[] = {1, 0, 0x14, 1, 1, 0, 0x77, 0x81};
  std::memcpy(&want[24], cmd, sizeof cmd);
  EXPECT_TRUE(SameBytes(buf, want));

  buf[94] = 0x5A;  // what a driver might have left from the first call
  TurnRegisterReadIntoData(buf);
  want[20] = 1;   // GET
  want[24] = 0;   // data phase
  want[94] = 0x5A;  // everything else as the first call left it
  EXPECT_TRUE(SameBytes(buf, want));
  EXPECT_EQ(0x5A, RegisterValueOfReply(buf));
}

TEST(KsRequests, RegisterWriteIsTwoSetsDifferingOnlyInPhase) {
  uint8_t buf[kRegisterRequestSize];
  std::memset(buf, 0xCD, sizeof buf);  // whatever the stack held
  BuildRegisterWriteCommand(buf, 0x8176, 0x40);
  auto want = Header(kExtSetBytes, 0x36, 2, 160);
  const uint8_t cmd[] = {1, 1, 0x13, 1, 1, 0, 0x76, 0x81};
  std::memcpy(&want[24], cmd, sizeof cmd);
  want[94] = 0x40;
  EXPECT_TRUE(SameBytes(buf, want));
  buf[100] = 0x3C;  // what a driver might have left from the first call
  TurnRegisterWriteIntoData(buf);
  want[24] = 0;
  want[100] = 0x3C;  // the second call carries the buffer as the first left it
  EXPECT_TRUE(SameBytes(buf, want));
}

TEST(KsRequests, GpioPinBitsKeepToEightBits) {
  EXPECT_EQ(0x01, GpioPinBit(0));
  EXPECT_EQ(0x40, GpioPinBit(6));
  EXPECT_EQ(0x80, GpioPinBit(7));
  EXPECT_EQ(0x00, GpioPinBit(8));
}

TEST(KsRequests, StandardRequestCarriesValueFlagsCapabilities) {
  uint8_t buf[kStandardRequestSize];
  std::memset(buf, 0xCD, sizeof buf);
  BuildStandardRequest(buf, kPropSetVideoProcAmp, 9, kKsPropertyTypeSet, {-5, 2, 3});
  auto want = Header(kProcAmpBytes, 9, 2, 44);
  const uint8_t tail[] = {0xFB, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 3, 0, 0, 0};
  std::memcpy(&want[24], tail, sizeof tail);
  EXPECT_TRUE(SameBytes(buf, want));
  StandardControlValue v = StandardValueOfReply(buf);
  EXPECT_EQ(-5, v.value);
  EXPECT_EQ(2, v.flags);
  EXPECT_EQ(3, v.capabilities);
}

TEST(KsRequests, DescriptionMembersSteppingAndDefaultLayouts) {
  uint8_t data[kBasicSupportSize];
  std::memset(data, 0xCD, sizeof data);
  PutDescription(data, 3, 72, 1);
  PutMembersHeader(data + 40, 1, 16, 1, 0);
  PutStepping(data + 56, 10, -100, 100);
  std::vector<uint8_t> want(72, 0);
  want[0] = 3; want[4] = 72; want[32] = 1;
  want[40] = 1; want[44] = 16; want[48] = 1;
  want[56] = 10;
  const uint8_t minmax[] = {0x9C, 0xFF, 0xFF, 0xFF, 0x64, 0, 0, 0};
  std::memcpy(&want[64], minmax, sizeof minmax);
  EXPECT_TRUE(SameBytes(data, want));

  PropertyDescription d = DescriptionOfReply(data);
  EXPECT_EQ(3u, d.accessFlags);
  EXPECT_EQ(72u, d.descriptionSize);
  EXPECT_EQ(1u, d.membersListCount);
  SteppingRange r = SteppingOfReply(data);
  EXPECT_EQ(10u, r.steppingDelta);
  EXPECT_EQ(-100, r.minimum);
  EXPECT_EQ(100, r.maximum);

  uint8_t defaults[kDefaultValuesSize] = {};
  PutI32(defaults + 56, -7);
  EXPECT_EQ(-7, DefaultValueOfReply(defaults));
  EXPECT_EQ(60u, kDefaultValuesSize);
}

TEST(KsRequests, ControlRequestIsHeaderAndEightFields) {
  uint8_t buf[kControlRequestSize];
  ControlInfo info = {1, 2, 3, -4, 5, 6, 7, 0x105};
  BuildControlRequest(buf, 3, kKsPropertyTypeSet, info);
  auto want = Header(kCtlSetBytes, 3, 2, 56);
  const int32_t fields[8] = {1, 2, 3, -4, 5, 6, 7, 0x105};
  for (int i = 0; i < 8; ++i)
    for (int b = 0; b < 4; ++b) want[24 + 4 * i + b] = uint8_t(uint32_t(fields[i]) >> (8 * b));
  EXPECT_TRUE(SameBytes(buf, want));
  ControlInfo back = ControlInfoOfReply(buf);
  EXPECT_EQ(0, std::memcmp(&info, &back, sizeof info));
}

TEST(KsRequests, StreamInfoRequestAndReply) {
  uint8_t buf[kStreamInfoRequestSize];
  BuildStreamInfoRequest(buf);
  EXPECT_TRUE(SameBytes(buf, Header(kExtSetBytes, 56, 1, 32)));
  buf[24] = 2;
  buf[26] = 0x00; buf[27] = 0x05;  // 1280
  buf[28] = 0x00; buf[29] = 0x04;  // 1024
  StreamInfo s = StreamInfoOfReply(buf);
  EXPECT_EQ(2, s.type);
  EXPECT_EQ(1280, s.width);
  EXPECT_EQ(1024, s.height);
}

TEST(KsRequests, StillRequestWritesHeaderAndClearsTheStillFields) {
  std::vector<uint8_t> buf(100, 0xCD);
  EXPECT_FALSE(BuildStillRequest(buf.data(), 39));
  EXPECT_EQ(0xCD, buf[0]);
  ASSERT_TRUE(BuildStillRequest(buf.data(), buf.size()));
  EXPECT_TRUE(SameBytes(buf.data(), Header(kExtSetBytes, 34, 1, 40)));
  EXPECT_EQ(0xCD, buf[40]);  // the payload area is the driver's
}
