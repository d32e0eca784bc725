// Acquisition through Wine's source manager: the camera's still, byte for
// byte, by a native and by a memory transfer; the button through the monitor;
// a 2.x application told through the manager.
#include <cstring>
#include <string>

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
