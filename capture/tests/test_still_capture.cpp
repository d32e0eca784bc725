// Stills through the property-set interface: the buffer size query, the
// request record, the status table, and the DIB handed out compared byte for
// byte with what the imaging library makes of the same still.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_property_set.h"
#include "grab_texts.h"
#include "recording_notifier.h"
#include "still_capture.h"
#include "test_support.h"
#include "wintest.h"

namespace {

using z9::imgtest::MakeStill;
using z9::imgtest::RandomBytes;
using z9twn::StillPicture;

// The 2560 x 2048 motion-JPEG still beside the tests.
std::vector<uint8_t> LargeStillStream() {
  std::string bytes;
  if (!wintest::ReadFileBytes(std::string(Z9_CAPTURE_TEST_DATA) + "\\still_2560x2048.jpg", &bytes)) return {};
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

class StillCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override { z9twn::UseDefaultGrabTexts(&texts_); }

  // Prepares the camera's answer: a still of the format and size, with a size code.
  void Answer(uint8_t format, uint32_t width, uint32_t height, uint8_t sizeCode, std::vector<uint8_t> payload) {
    camera_.still = MakeStill(format, width, height, payload);
    camera_.still[24] = 0;
    camera_.still[26] = sizeCode;
  }

  bool Take(uint32_t bufferSize, StillPicture* picture) {
    EXPECT_TRUE(buffer_.Allocate(bufferSize));
    return z9twn::TakeStill(&camera_, &buffer_, texts_, &notifier_, picture);
  }

  // What the library makes of the camera's answer: decoded, flipped unless RGB, enlarged.
  std::vector<uint8_t> Expected(uint32_t* width, uint32_t* height) {
    z9::StillHeader h;
    std::vector<uint8_t> dib = z9::imgtest::PictureOfStill(camera_.still, &h);
    EXPECT_FALSE(dib.empty()) << "the camera's still has no readable header";
    *width = h.width;
    *height = h.height;
    uint32_t tw = 0, th = 0;
    if (z9twn::EnlargedSize(h.sizeCode, &tw, &th)) {
      std::vector<uint8_t> big = z9::UpscaleStill(dib.data(), dib.size(), h.width, h.height, tw, th);
      if (!big.empty()) {
        *width = tw;
        *height = th;
        return big;
      }
    }
    return dib;
  }

  static std::vector<uint8_t> Bytes(const StillPicture& p) {
    std::vector<uint8_t> out;
    if (p.block == nullptr) return out;
    const void* data = GlobalLock(p.block);
    out.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + p.dibSize);
    GlobalUnlock(p.block);
    return out;
  }

  FakePropertySet camera_;
  z9twn::StillBuffer buffer_;
  z9twn::GrabTexts texts_;
  RecordingNotifier notifier_;
};

TEST_F(StillCaptureTest, BufferSizeComesFromTheDriverWithinBounds) {
  camera_.announcedSize = 2457600;
  EXPECT_EQ(z9twn::QueryStillBufferSize(&camera_), 2457600u);
  ASSERT_EQ(camera_.calls.size(), 1u);
  EXPECT_EQ(camera_.calls[0].id, 61u);
  EXPECT_EQ(camera_.calls[0].instanceLength, 32u);
  EXPECT_EQ(camera_.calls[0].dataLength, 32u);
  EXPECT_TRUE(camera_.calls[0].sameRecord);

  // Failed query, no interface, nothing announced, or an announcement that
  // would overflow or exceed any still the camera makes: 921600.
  camera_.sizeResult = E_FAIL;
  EXPECT_EQ(z9twn::QueryStillBufferSize(&camera_), 921600u);
  EXPECT_EQ(z9twn::QueryStillBufferSize(nullptr), 921600u);
  camera_.sizeResult = S_OK;
  for (uint32_t huge : {0u, 0xFFFFFFF0u, 0x7FFFFFFFu, z9twn::kStillBufferSizeLimit + 1})
  {
    camera_.announcedSize = huge;
    EXPECT_EQ(z9twn::QueryStillBufferSize(&camera_), 921600u) << huge;
  }
  // The largest snapshot the pages offer, 2560 x 2048 in 24 bits, and the limit itself.
  for (uint32_t size : {2560u * 2048u * 3u, z9twn::kStillBufferSizeLimit}) {
    camera_.announcedSize = size;
    EXPECT_EQ(z9twn::QueryStillBufferSize(&camera_), size);
  }

  z9twn::StillBuffer b;
  ASSERT_TRUE(b.Allocate(921600));
  EXPECT_EQ(b.length(), 921648u);
  // Sizes beyond the limit are refused before any arithmetic can wrap.
  for (uint32_t huge : {z9twn::kStillBufferSizeLimit + 1, 0xFFFFFFD0u, 0xFFFFFFFFu}) {
    EXPECT_FALSE(b.Allocate(huge)) << huge;
    EXPECT_EQ(b.length(), 0u);
    EXPECT_EQ(b.data(), nullptr);
  }
}

TEST_F(StillCaptureTest, EveryFormatMatchesTheImagingLibrary) {
  struct Case {
    uint8_t format;
    uint32_t width, height;
    size_t payload;
  };
  const Case cases[] = {
      {z9::STICAP_YUY2, 640, 480, 640 * 480 * 2}, {z9::STICAP_UYVY, 640, 480, 640 * 480 * 2},
      {z9::STICAP_I420, 640, 480, 640 * 480 * 3 / 2}, {z9::STICAP_RGB, 640, 480, 640 * 480 * 3},
      {z9::STICAP_YUY2, 320, 240, 320 * 240 * 2}, {z9::STICAP_I420, 176, 144, 176 * 144 * 3 / 2},
  };
  uint32_t seed = 7;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << int(c.format) << " " << c.width << "x" << c.height);
    camera_.calls.clear();
    Answer(c.format, c.width, c.height, 0, RandomBytes(c.payload, ++seed));
    StillPicture p;
    ASSERT_TRUE(Take(921600, &p));
    uint32_t w = 0, h = 0;
    const std::vector<uint8_t> expected = Expected(&w, &h);
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
    EXPECT_EQ(p.dibSize, c.width * c.height * 3 + 40);
    EXPECT_GE(GlobalSize(p.block), p.dibSize);
    EXPECT_TRUE(Bytes(p) == expected);
    GlobalFree(p.block);
    // The request: the whole buffer, header at its start, as instance and data.
    ASSERT_EQ(camera_.calls.size(), 1u);
    EXPECT_EQ(camera_.calls[0].id, 34u);
    EXPECT_EQ(camera_.calls[0].instanceLength, 921648u);
    EXPECT_EQ(camera_.calls[0].dataLength, 921648u);
    EXPECT_TRUE(camera_.calls[0].sameRecord);
    ASSERT_EQ(camera_.calls[0].header.size(), 24u);
    EXPECT_EQ(camera_.calls[0].header[16], 34);
    EXPECT_EQ(camera_.calls[0].header[20], 1);
  }
  EXPECT_EQ(notifier_.sounds, 6);
  EXPECT_TRUE(notifier_.boxes.empty());
}

// Motion-JPEG stills up to the largest snapshot size, in a buffer of the
// size the driver announces for it.
TEST_F(StillCaptureTest, MotionJpegStillsAreDecoded) {
  const struct {
    std::vector<uint8_t> stream;
    uint32_t width, height, bufferSize;
  } cases[] = {{z9::imgtest::TestFile("s420_big.jpg"), 160, 120, 921600},
               {LargeStillStream(), 2560, 2048, 2560 * 2048 * 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width);
    ASSERT_FALSE(c.stream.empty());
    Answer(z9::STICAP_MJPG, c.width, c.height, 0, c.stream);
    StillPicture p;
    ASSERT_TRUE(Take(c.bufferSize, &p));
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(Bytes(p) == Expected(&w, &h));
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
    EXPECT_EQ(p.dibSize, size_t{c.width} * c.height * 3 + 40);
    GlobalFree(p.block);
  }
  EXPECT_TRUE(notifier_.boxes.empty());
}

TEST_F(StillCaptureTest, SizeCodesEnlarge) {
  const struct {
    uint8_t code;
    uint32_t width, height;
    size_t dibSize;
  } cases[] = {{101, 800, 600, 1440040}, {102, 1024, 768, 2359336}, {103, 1280, 960, 3686440}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.code));
    Answer(z9::STICAP_YUY2, 640, 480, c.code, RandomBytes(640 * 480 * 2, c.code));
    StillPicture p;
    ASSERT_TRUE(Take(921600, &p));
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
    EXPECT_EQ(p.dibSize, c.dibSize);
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(Bytes(p) == Expected(&w, &h));
    GlobalFree(p.block);
  }
}

TEST_F(StillCaptureTest, SizeCodeOnASmallerStillEnlargesFromItsRealSize) {
  Answer(z9::STICAP_YUY2, 320, 240, 101, RandomBytes(320 * 240 * 2, 3));
  StillPicture p;
  ASSERT_TRUE(Take(921600, &p));
  EXPECT_EQ(p.width, 800u);
  EXPECT_EQ(p.height, 600u);
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(Bytes(p) == Expected(&w, &h));
  GlobalFree(p.block);

  // A still already larger than the code's size is handed over as it is.
  Answer(z9::STICAP_YUY2, 1280, 960, 101, RandomBytes(1280 * 960 * 2, 4));
  ASSERT_TRUE(Take(1280 * 960 * 2, &p));
  EXPECT_EQ(p.width, 1280u);
  EXPECT_EQ(p.dibSize, 1280u * 960 * 3 + 40);
  GlobalFree(p.block);
}

TEST_F(StillCaptureTest, StatusBytesShowTheirMessageAndHandNothingOver) {
  const struct {
    uint8_t status;
    const char* text;
  } cases[] = {{1, "ERROR 736:9791"},
               {2, "Error! Device busy, please try again!"},
               {3, "Error! Out of memory!"},
               {4, "Error! Stream is stop, please start preview windows!"},
               {5, "ERROR 754:9791"},
               {200, "ERROR 754:9791"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.status));
    notifier_.boxes.clear();
    Answer(z9::STICAP_YUY2, 640, 480, 0, RandomBytes(640 * 480 * 2, 1));
    camera_.still[24] = c.status;
    StillPicture p;
    EXPECT_FALSE(Take(921600, &p));
    EXPECT_EQ(p.block, nullptr);
    ASSERT_EQ(notifier_.boxes.size(), 1u);
    EXPECT_EQ(notifier_.boxes[0].text, c.text);
    EXPECT_EQ(notifier_.boxes[0].owner, nullptr);
    EXPECT_EQ(notifier_.boxes[0].flags & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  }
  EXPECT_EQ(notifier_.sounds, 0);
  // The next capture asks the camera again and works.
  Answer(z9::STICAP_YUY2, 640, 480, 0, RandomBytes(640 * 480 * 2, 1));
  StillPicture p;
  EXPECT_TRUE(Take(921600, &p));
  GlobalFree(p.block);
}

TEST_F(StillCaptureTest, FailedRequestShowsBothBoxesInOrder) {
  camera_.stillResult = E_FAIL;
  StillPicture p;
  EXPECT_FALSE(Take(921600, &p));
  EXPECT_EQ(notifier_.Texts(), (std::vector<std::string>{"ERROR 1641:9791", "ERROR 724:9791"}));

  // Without a property-set interface only the second one.
  notifier_.boxes.clear();
  ASSERT_TRUE(buffer_.Allocate(921600));
  EXPECT_FALSE(z9twn::TakeStill(nullptr, &buffer_, texts_, &notifier_, &p));
  EXPECT_EQ(notifier_.Texts(), (std::vector<std::string>{"ERROR 724:9791"}));
}

TEST_F(StillCaptureTest, DeclaredSizeBeyondWhatArrivedIsRefused) {
  // 800 x 600 YUY2 declared, but the buffer holds 921600 bytes of payload.
  Answer(z9::STICAP_YUY2, 800, 600, 0, RandomBytes(640 * 480 * 3, 5));
  StillPicture p;
  EXPECT_FALSE(Take(921600, &p));
  EXPECT_EQ(p.block, nullptr);
  EXPECT_EQ(notifier_.Texts(), (std::vector<std::string>{"ERROR 724:9791"}));

  // Fits the buffer, but the driver said it returned less.
  notifier_.boxes.clear();
  Answer(z9::STICAP_RGB, 640, 480, 0, RandomBytes(640 * 480 * 3, 6));
  camera_.still.resize(40 + 1000);
  EXPECT_FALSE(Take(921600, &p));
  EXPECT_EQ(notifier_.Texts(), (std::vector<std::string>{"ERROR 724:9791"}));

  // Absurd sides (their product overflows) are refused without allocating.
  notifier_.boxes.clear();
  Answer(z9::STICAP_YUY2, 640, 480, 0, RandomBytes(640 * 480 * 2, 7));
  const uint32_t big = 0x80000000u;
  std::memcpy(camera_.still.data() + 28, &big, 4);
  std::memcpy(camera_.still.data() + 32, &big, 4);
  EXPECT_FALSE(Take(921600, &p));
  EXPECT_EQ(notifier_.Texts(), (std::vector<std::string>{"ERROR 724:9791"}));
}

TEST_F(StillCaptureTest, DriverThatReportsNoLengthIsReadWithinTheBuffer) {
  camera_.reportReturned = false;
  Answer(z9::STICAP_YUY2, 640, 480, 0, RandomBytes(640 * 480 * 2, 8));
  StillPicture p;
  ASSERT_TRUE(Take(921600, &p));
  uint32_t w = 0, h = 0;
  EXPECT_TRUE(Bytes(p) == Expected(&w, &h));
  GlobalFree(p.block);
}

}  // namespace
