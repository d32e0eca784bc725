#include "twain_fixture.h"

#include <imaging/still.h>

#include "settings.h"
#include "still_pattern.h"
#include "stream_control.h"
#include "test_support.h"
#include "video_inputs.h"
#include "wintest.h"

namespace twtest {

using namespace twain;

namespace {
constexpr uint32_t kWidth = 640, kHeight = 480;

std::vector<uint8_t> ColourBars() {
  std::vector<uint8_t> p(z9b_pattern_size(Z9B_STILL_YUY2, kWidth, kHeight));
  z9b_pattern_draw(p.data(), Z9B_STILL_YUY2, kWidth, kHeight);
  return p;
}
}  // namespace

const std::vector<uint8_t>& TwainFixture::ExpectedPicture() {
  static const std::vector<uint8_t> picture =
      z9::imgtest::PictureOfStill(z9::imgtest::MakeStill(z9::STICAP_YUY2, kWidth, kHeight, ColourBars()));
  return picture;
}

void TwainFixture::SetUp() {
  ASSERT_TRUE(bench_.Open(15000));
  ASSERT_TRUE(bench_.Reset());
  z9bench::ResetStreamSettings();
  std::string error;
  ASSERT_TRUE(z9bench::ResetVideoInputs(&error)) << error;
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "FriendlyName", kCameraName));
  const std::vector<uint8_t> payload = ColourBars();
  Z9B_STILL_UPLOAD up = {};
  up.format = z9::STICAP_YUY2;
  up.width = kWidth;
  up.height = kHeight;
  up.flags = Z9B_UPLOAD_STICKY;
  up.payloadLength = static_cast<uint32_t>(payload.size());
  ASSERT_TRUE(bench_.UploadStill(up, payload.data(), payload.size()));
}

void TwainFixture::OpenSession(bool twain2) {
  ASSERT_TRUE(s_.OpenManager(twain2)) << "twain_32.dll or its manager";
  ASSERT_EQ(s_.OpenSource(kCameraName), TWRC_SUCCESS) << "manager condition " << s_.ManagerCondition();
  ASSERT_STREQ(s_.Source().ProductName, kCameraName);
}

void TwainFixture::TearDown() {
  // Back to state 4 whatever the test left, then closed.
  TW_PENDINGXFERS p = {};
  s_.ToSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &p);
  s_.ToSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &p);
  s_.Disable();
  s_.CloseManager();
  bench_.Reset();
}

HWND TwainFixture::Dialog(DWORD timeoutMs) {
  HWND dialog = nullptr;
  wintest::WaitUntil(
      [&] {
        dialog = FindWindowA("#32770", kCameraName);
        return dialog != nullptr;
      },
      timeoutMs);
  return dialog;
}

void TwainFixture::Click(int id) {
  HWND dialog = Dialog(5000);
  ASSERT_NE(dialog, nullptr) << "no capture dialog";
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

TW_UINT16 TwainFixture::Direct(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
  HMODULE module = GetModuleHandleA("sane.ds");
  auto entry = module != nullptr ? reinterpret_cast<DSENTRYPROC>(GetProcAddress(module, "DS_Entry")) : nullptr;
  if (entry == nullptr) {
    ADD_FAILURE() << "the source is not loaded";
    return 0xffff;
  }
  return entry(&s_.App(), dg, dat, msg, data);
}

void TwainFixture::ExpectFailure(TW_UINT16 rc, TW_UINT16 cc, const char* what) {
  EXPECT_EQ(rc, TWRC_FAILURE) << what;
  EXPECT_EQ(s_.SourceCondition(), cc) << what;
}

TW_UINT16 TwainFixture::PendingCount() {
  TW_PENDINGXFERS p = {};
  p.Count = 0xBEEF;
  EXPECT_EQ(s_.ToSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &p), TWRC_SUCCESS);
  return p.Count;
}

}  // namespace twtest
