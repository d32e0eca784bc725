// The capture dialog on the streaming bench camera: the camera, its stream
// settings and the video input list put back before and after every test.
#pragma once

#include <string>

#include "bench_client.h"
#include "dialog_fixture.h"
#include "stream_control.h"
#include "video_inputs.h"

namespace twntest {

class BenchDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    ASSERT_TRUE(bench_.Open(15000));
    ASSERT_TRUE(bench_.Reset());
    z9bench::ResetStreamSettings();
    std::string error;
    ASSERT_TRUE(z9bench::ResetVideoInputs(&error)) << error;
  }
  void TearDown() override {
    DialogTest::TearDown();
    bench_.Reset();
    z9bench::ResetStreamSettings();
  }

  void Click(int id) { SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

  z9bench::Bench bench_;
};

}  // namespace twntest
