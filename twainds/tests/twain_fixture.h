// A TWAIN application session on the bench camera: the camera's still set to
// the colour bars, the manager open and the camera's source opened by name.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "bench_client.h"
#include "twain_session.h"

namespace twtest {

constexpr char kCameraName[] = "Opticam, Q7710C USB Camera";
constexpr int kCaptureButton = 1000;
constexpr int kExitButton = IDOK;

class TwainFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens manager and source (as a 2.x application when asked).
  void OpenSession(bool twain2 = false);
  // The capture dialog of the source, once shown.
  HWND Dialog(DWORD timeoutMs = 10000);
  // A click on a dialog button as the monitor sends it (WM_COMMAND, no handle).
  void Click(int id);
  // The source's DS_Entry called directly, past the manager.
  twain::TW_UINT16 Direct(twain::TW_UINT32 dg, twain::TW_UINT16 dat, twain::TW_UINT16 msg, void* data);
  // Expects TWRC_FAILURE with this condition from a triplet to the source.
  void ExpectFailure(twain::TW_UINT16 rc, twain::TW_UINT16 cc, const char* what);
  twain::TW_UINT16 PendingCount();

  static const std::vector<uint8_t>& ExpectedPicture();

  z9bench::Bench bench_;
  z9bench::TwainSession s_;
  bool enabled_ = false;
};

}  // namespace twtest
