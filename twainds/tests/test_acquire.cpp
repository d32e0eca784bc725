// Acquisition through Wine's source manager: the camera's still, byte for
// byte, by a native and by a memory transfer; the button through the monitor;
// a 2.x application told through the manager.
#include <cstring>
#include <string>

#include <imaging/still.h>

#include "still_pattern.h"
#include "test_support.h"
#include "twain_fixture.h"
#include "wintest.h"

namespace twtest {
namespace {

using namespace twain;

using Acquire = TwainFixture;

TEST_F(Acquire, ListsOpensAndTakesTheStillNativelyThenByMemory) {
  ASSERT_TRUE(s_.OpenManager());
  bool listed = false;
  for (const TW_IDENTITY& id : s_.ListSources()) {
    if (std::strcmp(id.ProductName, kCameraName) != 0) continue;
    listed = true;
    EXPECT_STREQ(id.Manufacturer, "RidEva");
    EXPECT_STREQ(id.ProductFamily, "Z9100");
    EXPECT_EQ(id.SupportedGroups & (DG_CONTROL | DG_IMAGE), DG_CONTROL | DG_IMAGE);
  }
  ASSERT_TRUE(listed) << "the camera's source is not listed";
  ASSERT_EQ(s_.OpenSource(kCameraName), TWRC_SUCCESS);

  // Native transfer, user interface asked for.
  ASSERT_EQ(s_.SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE), TWRC_SUCCESS);
  ASSERT_EQ(s_.Enable(true), TWRC_SUCCESS);
  ASSERT_NE(Dialog(), nullptr);
  Click(kCaptureButton);
  ASSERT_EQ(s_.WaitForNotice(10000), MSG_XFERREADY);
  EXPECT_EQ(PendingCount(), 1);
  TW_IMAGEINFO info = {};
  ASSERT_EQ(s_.ToSource(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  EXPECT_EQ(info.ImageWidth, 640);
  EXPECT_EQ(info.ImageLength, 480);
  EXPECT_EQ(info.BitsPerPixel, 24);
  EXPECT_EQ(info.SamplesPerPixel, 3);
  EXPECT_EQ(info.PixelType, TWPT_RGB);
  std::vector<uint8_t> dib;
  ASSERT_EQ(s_.NativeTransfer(&dib), TWRC_XFERDONE);
  EXPECT_TRUE(dib == ExpectedPicture()) << "native picture of " << dib.size() << " bytes, expected "
                                        << ExpectedPicture().size();
  TW_UINT16 count = 0xffff;
  ASSERT_EQ(s_.EndTransfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  ASSERT_EQ(s_.Disable(), TWRC_SUCCESS);
  EXPECT_TRUE(wintest::WaitForNoWindow("#32770", kCameraName, 3000));

  // Memory transfer in strips; no user interface asked for, shown anyway.
  ASSERT_EQ(s_.SetOneValue(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY), TWRC_SUCCESS);
  ASSERT_EQ(s_.Enable(false), TWRC_CHECKSTATUS);
  HWND dialog = Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(IsWindowVisible(dialog));
  Click(kCaptureButton);
  ASSERT_EQ(s_.WaitForNotice(10000), MSG_XFERREADY);
  TW_SETUPMEMXFER setup = {};
  ASSERT_EQ(s_.ToSource(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup), TWRC_SUCCESS);
  EXPECT_EQ(setup.MinBufSize, 640u * 3);
  EXPECT_EQ(setup.MaxBufSize, 640u * 3 * 480);
  EXPECT_GE(setup.Preferred, setup.MinBufSize);
  int strips = 0;
  ASSERT_EQ(s_.MemoryTransfer(640 * 3 * 100 + 7, &dib, &strips), TWRC_XFERDONE);
  EXPECT_EQ(strips, 5);
  const std::vector<uint8_t>& expected = ExpectedPicture();
  ASSERT_EQ(dib.size(), expected.size());
  EXPECT_EQ(std::memcmp(dib.data() + 4, expected.data() + 4, 8), 0) << "width and height";
  EXPECT_TRUE(std::memcmp(dib.data() + 40, expected.data() + 40, dib.size() - 40) == 0) << "memory picture's pixels";
  ASSERT_EQ(s_.EndTransfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(s_.Disable(), TWRC_SUCCESS);
}

TEST_F(Acquire, ButtonPressThroughTheMonitorThenNothingWithoutTheDialog) {
  wintest::Process monitor;
  ASSERT_TRUE(monitor.Start("\"" + wintest::ExeDir() + "\\Z9100Mnt.exe\""));
  ASSERT_NE(wintest::WaitForWindow("Z9100MntWndClass", "Z9100Mnt", 10000), nullptr);
  OpenSession();
  ASSERT_EQ(s_.Enable(true), TWRC_SUCCESS);
  ASSERT_NE(Dialog(), nullptr);
  s_.PumpEvents(600);  // the dialog's registration reaches the monitor
  ASSERT_TRUE(bench_.PushButtons({1}));
  ASSERT_EQ(s_.WaitForNotice(10000), MSG_XFERREADY) << "no picture for the button";
  std::vector<uint8_t> dib;
  ASSERT_EQ(s_.NativeTransfer(&dib), TWRC_XFERDONE);
  EXPECT_TRUE(dib == ExpectedPicture());
  TW_UINT16 count = 0xffff;
  EXPECT_EQ(s_.EndTransfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  ASSERT_EQ(s_.Disable(), TWRC_SUCCESS);

  // The dialog is closed: a press reaches nobody here, the source stays in state 4.
  ASSERT_TRUE(bench_.PushButtons({1}));
  std::vector<TW_UINT16> notices;
  wintest::PumpFor(1500);
  EXPECT_EQ(PendingCount(), 0);
  ExpectFailure(s_.ToSource(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWCC_SEQERROR, "no transfer in state 4");
  PostMessageA(wintest::WaitForWindow("Z9100MntWndClass", "Z9100Mnt", 1000), WM_CLOSE, 0, 0);
  monitor.Wait(8000);
}

TEST_F(Acquire, TwoPointXApplicationIsToldThroughTheManager) {
  OpenSession(true);
  ASSERT_EQ(s_.GiveSourceManagerEntry(), TWRC_SUCCESS);
  TW_IDENTITY id = {};
  ASSERT_EQ(Direct(DG_CONTROL, DAT_IDENTITY, MSG_GET, &id), TWRC_SUCCESS);
  EXPECT_EQ(id.SupportedGroups & DF_DS2, DF_DS2);
  EXPECT_EQ(id.ProtocolMajor, 2);
  ASSERT_EQ(s_.Enable(true), TWRC_SUCCESS);
  Click(kCaptureButton);
  ASSERT_EQ(s_.WaitForNotice(10000), MSG_XFERREADY);
  std::vector<uint8_t> dib;
  ASSERT_EQ(s_.NativeTransfer(&dib), TWRC_XFERDONE);
  EXPECT_TRUE(dib == ExpectedPicture());
  TW_UINT16 count = 0xffff;
  EXPECT_EQ(s_.EndTransfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0);
  Click(kExitButton);
  EXPECT_EQ(s_.WaitForNotice(5000), MSG_CLOSEDSREQ);
  EXPECT_EQ(s_.Disable(), TWRC_SUCCESS);
}

}  // namespace
}  // namespace twtest

namespace twtest {
namespace {

// A still whose rows are not a multiple of four bytes long: the application
// gets a standard DIB (rows padded), and the same rows by memory.
TEST_F(Acquire, OddWidthStillBecomesAStandardDibAndTheSameRowsByMemory) {
  constexpr uint32_t kW = 322, kH = 240;
  std::vector<uint8_t> payload(z9b_pattern_size(Z9B_STILL_YUY2, kW, kH));
  z9b_pattern_draw(payload.data(), Z9B_STILL_YUY2, kW, kH);
  Z9B_STILL_UPLOAD up = {};
  up.format = z9::STICAP_YUY2;
  up.width = kW;
  up.height = kH;
  up.flags = Z9B_UPLOAD_STICKY;
  up.payloadLength = static_cast<uint32_t>(payload.size());
  ASSERT_TRUE(bench_.UploadStill(up, payload.data(), payload.size()));
  const std::vector<uint8_t> expected =
      z9::imgtest::PictureOfStill(z9::imgtest::MakeStill(z9::STICAP_YUY2, kW, kH, payload));
  ASSERT_GE(expected.size(), 40u + kW * 3 * kH);
  const size_t expectedStride = (expected.size() - 40) / kH;

  OpenSession();
  std::vector<uint8_t> byMemory, native;
  for (TW_UINT16 mech : {TWSX_NATIVE, TWSX_MEMORY}) {
    ASSERT_EQ(s_.SetOneValue(ICAP_XFERMECH, TWTY_UINT16, mech), TWRC_SUCCESS);
    ASSERT_EQ(s_.Enable(true), TWRC_SUCCESS);
    Click(kCaptureButton);
    ASSERT_EQ(s_.WaitForNotice(10000), MSG_XFERREADY);
    int strips = 0;
    if (mech == TWSX_NATIVE)
      ASSERT_EQ(s_.NativeTransfer(&native), TWRC_XFERDONE);
    else
      ASSERT_EQ(s_.MemoryTransfer(kW * 3 * 7, &byMemory, &strips), TWRC_XFERDONE);
    TW_UINT16 count = 0xffff;
    ASSERT_EQ(s_.EndTransfer(&count), TWRC_SUCCESS);
    ASSERT_EQ(s_.Disable(), TWRC_SUCCESS);
  }
  const size_t stride = 968;  // 322 x 3 = 966, padded to four bytes
  for (const std::vector<uint8_t>* dib : {&native, &byMemory}) {
    ASSERT_EQ(dib->size(), 40 + stride * kH) << (dib == &native ? "native" : "memory");
    uint32_t sizeImage = 0;
    std::memcpy(&sizeImage, dib->data() + 20, 4);
    EXPECT_EQ(sizeImage, stride * kH);
    for (uint32_t y = 0; y < kH; ++y)
      ASSERT_EQ(std::memcmp(dib->data() + 40 + y * stride, expected.data() + 40 + y * expectedStride, kW * 3), 0)
          << (dib == &native ? "native" : "memory") << " row " << y;
  }
}

}  // namespace
}  // namespace twtest
