// The capture dialog on a bench camera that misbehaves: the still size and
// still requests failed, answered without a word written and answered with
// garbage; stills whose header lies about size, format or status; a camera
// unplugged under the open dialog. After each, the next normal capture
// hands the camera's picture to the host.
#include <gtest/gtest.h>

#include <imaging/still.h>

#include <cstring>
#include <random>

#include "bench_dialog_fixture.h"

namespace twntest {
namespace {

constexpr char kMemory[] = "Error! Out of memory!";
constexpr char kRefused[] = "ERROR 724:9791";

class DialogFaults : public BenchDialogTest {
 protected:
  // One capture: the boxes it showed and whether a picture reached the host
  // (its size from ImageInfo, checked against the block's own header).
  struct Capture {
    std::vector<std::string> boxes;
    bool picture = false;
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> dib;
  };
  Capture Take(BoxAnswerer& answerer, size_t expectBoxes) {
    answerer.Clear();
    Events().clear();
    Click(1000);
    wintest::WaitUntil([&] { return answerer.Texts().size() >= expectBoxes; }, 3000);
    wintest::PumpFor(50);
    Capture c;
    c.boxes = answerer.Texts();
    const auto& events = Events();
    if (events.size() == 2 && events[0].code == 0 && events[1].code == 2) {
      c.picture = true;
      c.width = events[0].info[0] | (events[0].info[1] << 8);
      c.height = events[0].info[2] | (events[0].info[3] << 8);
      c.dib = events[1].dib;
      // The block holds what its header says and what ImageInfo announced.
      EXPECT_GE(events[1].blockSize, 40 + size_t{c.width} * c.height * 3);
      if (c.dib.size() >= 40) {
        BITMAPINFOHEADER h;
        std::memcpy(&h, c.dib.data(), sizeof h);
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(static_cast<uint32_t>(h.biWidth), c.width);
        EXPECT_EQ(static_cast<uint32_t>(h.biHeight), c.height);
        EXPECT_EQ(h.biBitCount, 24);
        EXPECT_EQ(h.biSizeImage, c.width * c.height * 3);
      } else {
        ADD_FAILURE() << "a picture block without its header";
      }
    } else {
      EXPECT_TRUE(events.empty()) << "a failed capture still sent " << events.size() << " messages to the host";
    }
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Dialog(), 1000))) << "Capture stays disabled";
    return c;
  }

  // The camera's own still (its test pattern) reaches the host.
  void ExpectNormalCapture(BoxAnswerer& answerer, uint32_t width = 640, uint32_t height = 480) {
    const Capture c = Take(answerer, 0);
    EXPECT_TRUE(c.boxes.empty()) << c.boxes.front();
    EXPECT_TRUE(c.picture) << "the next normal capture did not reach the host";
    EXPECT_EQ(c.width, width);
    EXPECT_EQ(c.height, height);
  }

  void Upload(uint32_t status, uint32_t format, uint32_t sizeCode, uint32_t width, uint32_t height,
              const std::vector<uint8_t>& payload) {
    Z9B_STILL_UPLOAD up = {};
    up.status = status;
    up.format = format;
    up.sizeCode = sizeCode;
    up.width = width;
    up.height = height;
    up.payloadLength = static_cast<uint32_t>(payload.size());
    ASSERT_TRUE(bench_.UploadStill(up, payload.data(), payload.size()));
  }

};

std::vector<uint8_t> RandomPayload(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(n);
  for (uint8_t& b : out) b = static_cast<uint8_t>(random());
  return out;
}

// The still size is asked when the dialog starts: each fault of it leaves a
// dialog whose captures work (the 921600-byte fallback), except a size too
// small for the camera's still, which the camera answers with its
// out-of-memory status; a dialog started afresh on the healthy camera then
// works.
TEST_F(DialogFaults, StillSizeFailedSilentOrGarbledAtTheStart) {
  BoxAnswerer boxes;
  const struct {
    uint32_t mode;
    int32_t value;
    const char* capture;  // the first capture's box, nullptr for a picture
  } cases[] = {
      {Z9B_FAULT_FAIL, 0, nullptr},  {Z9B_FAULT_NOWRITE, 0, nullptr},   {Z9B_FAULT_VALUE, 0, nullptr},
      {Z9B_FAULT_VALUE, -1, nullptr}, {Z9B_FAULT_VALUE, 1000, kMemory},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", value " << c.value);
    ASSERT_TRUE(bench_.AddFault(z9bench::MakeFault(Z9B_KIND_STILL_SIZE, c.mode, c.value, 1)));
    Create();
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_TRUE(boxes.Texts().empty()) << "the start showed " << boxes.Texts().front();
    const Capture first = Take(boxes, c.capture ? 1 : 0);
    if (c.capture == nullptr) {
      EXPECT_TRUE(first.picture);
      EXPECT_TRUE(first.boxes.empty());
    } else {
      EXPECT_FALSE(first.picture);
      EXPECT_EQ(first.boxes, (std::vector<std::string>{c.capture}));
    }
    Remove();
    if (c.capture != nullptr) {
      // The size is asked again by the next start, now of the healthy camera.
      Create();
      ASSERT_NE(Dialog(), nullptr);
      ExpectNormalCapture(boxes);
      Remove();
    }
    boxes.Clear();
  }
}

// The still request: failed, answered without a word written (a header of
// zeros), and answered with every kind of status byte but no picture.
TEST_F(DialogFaults, StillFailedSilentOrGarbled) {
  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  ExpectNormalCapture(boxes);  // the buffer now holds a whole picture
  const struct {
    uint32_t mode;
    int32_t value;
    std::vector<std::string> texts;
  } cases[] = {
      {Z9B_FAULT_FAIL, 0, {"ERROR 1641:9791", kRefused}},
      // Nothing written: the zeroed header of the request says 0 x 0; the
      // previous picture still in the buffer must not be handed out again.
      {Z9B_FAULT_NOWRITE, 0, {kRefused}},
      // Status 0 without a picture, and status bytes of every range.
      {Z9B_FAULT_VALUE, 0, {kRefused}},
      {Z9B_FAULT_VALUE, 0x100, {kRefused}},
      {Z9B_FAULT_VALUE, 4, {"Error! Stream is stop, please start preview windows!"}},
      {Z9B_FAULT_VALUE, 6, {"ERROR 754:9791"}},
      {Z9B_FAULT_VALUE, 99, {"ERROR 754:9791"}},
      {Z9B_FAULT_VALUE, 128, {"ERROR 754:9791"}},
      {Z9B_FAULT_VALUE, 255, {"ERROR 754:9791"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", value " << c.value);
    ASSERT_TRUE(bench_.AddFault(z9bench::MakeFault(Z9B_KIND_STILL, c.mode, c.value, 1)));
    const Capture faulty = Take(boxes, c.texts.size());
    EXPECT_FALSE(faulty.picture);
    EXPECT_EQ(faulty.boxes, c.texts);
    ExpectNormalCapture(boxes);
  }
}

// Stills whose header lies: status, size and format against the payload
// that really follows. Each case gives either its message and nothing for
// the host, or a picture of the declared size; then the camera's own still
// is captured normally.
TEST_F(DialogFaults, StillHeadersThatLie) {
  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  const size_t vga2 = 640 * 480 * 2;
  struct Case {
    const char* what;
    uint32_t status, format, sizeCode, width, height;
    size_t payload;
    const char* box;           // nullptr: a picture
    uint32_t picW, picH;       // the picture handed over
  };
  const Case cases[] = {
      // Status bytes on a good picture.
      {"status 1", 1, z9::STICAP_YUY2, 0, 640, 480, vga2, "ERROR 736:9791", 0, 0},
      {"status 2", 2, z9::STICAP_YUY2, 0, 640, 480, vga2, "Error! Device busy, please try again!", 0, 0},
      {"status 3", 3, z9::STICAP_YUY2, 0, 640, 480, vga2, kMemory, 0, 0},
      {"status 5", 5, z9::STICAP_YUY2, 0, 640, 480, vga2, "ERROR 754:9791", 0, 0},
      {"status 200", 200, z9::STICAP_YUY2, 0, 640, 480, vga2, "ERROR 754:9791", 0, 0},
      {"status 255", 255, z9::STICAP_YUY2, 0, 640, 480, vga2, "ERROR 754:9791", 0, 0},
      // Sizes the payload does not carry.
      {"larger than the payload", 0, z9::STICAP_YUY2, 0, 800, 600, vga2, kRefused, 0, 0},
      {"payload cut short", 0, z9::STICAP_YUY2, 0, 640, 480, 1000, kRefused, 0, 0},
      {"no payload", 0, z9::STICAP_RGB, 0, 640, 480, 0, kRefused, 0, 0},
      {"width 0", 0, z9::STICAP_YUY2, 0, 0, 480, vga2, kRefused, 0, 0},
      {"height 0", 0, z9::STICAP_YUY2, 0, 640, 0, vga2, kRefused, 0, 0},
      {"sides that overflow", 0, z9::STICAP_YUY2, 0, 0x80000000u, 0x80000000u, vga2, kRefused, 0, 0},
      {"largest sides", 0, z9::STICAP_RGB, 0, 0xFFFFFFFFu, 1, vga2, kRefused, 0, 0},
      {"I420 as big as YUY2 claims", 0, z9::STICAP_I420, 0, 1280, 960, vga2, kRefused, 0, 0},
      // Smaller than the payload: the declared part is used.
      {"smaller than the payload", 0, z9::STICAP_YUY2, 0, 320, 240, vga2, nullptr, 320, 240},
      {"one pixel of RGB", 0, z9::STICAP_RGB, 0, 1, 1, 3, nullptr, 1, 1},
      {"odd sides", 0, z9::STICAP_RGB, 0, 7, 5, 7 * 5 * 3, nullptr, 7, 5},
      // Formats the dialog has no converter for fail like an undecodable still.
      {"format 1", 0, 1, 0, 640, 480, vga2, kRefused, 0, 0},
      {"format 6", 0, 6, 0, 64, 48, 16, kRefused, 0, 0},
      {"format 255", 0, 255, 0, 640, 480, 0, kRefused, 0, 0},
      // Size codes that ask for an enlargement the still cannot have.
      {"code 101 on a wider still", 0, z9::STICAP_YUY2, 101, 1024, 64, 1024 * 64 * 2, nullptr, 1024, 64},
      {"code 101 on the target size", 0, z9::STICAP_I420, 101, 800, 600, 800 * 600 * 3 / 2, nullptr, 800, 600},
      {"code 103, RGB cut short", 0, z9::STICAP_RGB, 103, 1280, 960, vga2, kRefused, 0, 0},
      {"code 102 on a small still", 0, z9::STICAP_YUY2, 102, 320, 240, 320 * 240 * 2, nullptr, 1024, 768},
      {"code 255", 0, z9::STICAP_YUY2, 255, 640, 480, vga2, nullptr, 640, 480},
  };
  uint32_t seed = 7;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Upload(c.status, c.format, c.sizeCode, c.width, c.height, RandomPayload(c.payload, ++seed));
    const Capture faulty = Take(boxes, c.box ? 1 : 0);
    if (c.box != nullptr) {
      EXPECT_FALSE(faulty.picture);
      EXPECT_EQ(faulty.boxes, (std::vector<std::string>{c.box}));
    } else {
      EXPECT_TRUE(faulty.boxes.empty()) << faulty.boxes.front();
      ASSERT_TRUE(faulty.picture);
      EXPECT_EQ(faulty.width, c.picW);
      EXPECT_EQ(faulty.height, c.picH);
    }
    ExpectNormalCapture(boxes);
  }
}

// Motion JPEG stills of random bytes, with and without a start marker: a
// failed capture each time, never a black picture reported as taken.
TEST_F(DialogFaults, GarbageMotionJpegStills) {
  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    std::vector<uint8_t> payload = RandomPayload(seed * 3000, seed);
    if (seed % 2 == 0) {  // a start-of-image marker, then garbage
      payload[0] = 0xFF;
      payload[1] = 0xD8;
    }
    Upload(0, z9::STICAP_MJPG, 0, 640, 480, payload);
    const Capture c = Take(boxes, 1);
    EXPECT_FALSE(c.picture);
    EXPECT_EQ(c.boxes, (std::vector<std::string>{kRefused}));
    ExpectNormalCapture(boxes);
  }
}

// The camera unplugged under the open dialog: each capture shows both
// boxes and hands nothing over, also after the replug (the filter's handle
// stays dead); a dialog opened afresh captures again.
TEST_F(DialogFaults, CameraUnpluggedUnderTheOpenDialog) {
  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  ExpectNormalCapture(boxes);
  ASSERT_TRUE(bench_.Unplug());
  const std::vector<std::string> failed = {"ERROR 1641:9791", kRefused};
  Capture c = Take(boxes, 2);
  EXPECT_FALSE(c.picture);
  EXPECT_EQ(c.boxes, failed);
  ASSERT_TRUE(bench_.Replug());
  c = Take(boxes, 2);
  EXPECT_FALSE(c.picture);
  EXPECT_EQ(c.boxes, failed);
  EXPECT_TRUE(IsWindow(Dialog()));
  Remove();
  boxes.Clear();
  Create();
  ASSERT_NE(Dialog(), nullptr);
  ExpectNormalCapture(boxes);
}

}  // namespace
}  // namespace twntest
