// Still headers that lie, exhaustively over each header byte, against the
// capture's still handling with a property set of the test's own: every
// status byte, every format byte, every size code, and sides at and around
// every limit. Each still gives exactly one of two outcomes: one message and
// nothing handed out, or a picture block exactly as large as the header
// that describes it.
#include <gtest/gtest.h>

#include <imaging/still.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_property_set.h"
#include "grab_texts.h"
#include "recording_notifier.h"
#include "still_capture.h"
#include "test_support.h"

namespace {

using z9::imgtest::RandomBytes;
using z9twn::StillPicture;

constexpr char kRefused[] = "ERROR 724:9791";

class StillFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    z9twn::UseDefaultGrabTexts(&texts_);
    ASSERT_TRUE(buffer_.Allocate(921600));
  }

  // The camera's answer: a header with these fields, then `payload` bytes.
  void Answer(uint8_t status, uint8_t format, uint8_t sizeCode, uint32_t width, uint32_t height, size_t payload,
              uint32_t seed = 1) {
    camera_.still.assign(40, 0);
    camera_.still[24] = status;
    camera_.still[25] = format;
    camera_.still[26] = sizeCode;
    std::memcpy(&camera_.still[28], &height, 4);
    std::memcpy(&camera_.still[32], &width, 4);
    const std::vector<uint8_t> bytes = RandomBytes(payload, seed);
    camera_.still.insert(camera_.still.end(), bytes.begin(), bytes.end());
  }

  // One capture; checks the two allowed outcomes and returns the picture
  // (freed here) as width x height, or 0 x 0 with the message shown.
  struct Outcome {
    uint32_t width = 0, height = 0;
    std::string box;
    bool black = false;
    uint64_t hash = 0;  // of the pixels
  };
  Outcome Take() {
    notifier_.boxes.clear();
    StillPicture p;
    const bool ok = z9twn::TakeStill(&camera_, &buffer_, texts_, &notifier_, &p);
    Outcome o;
    if (!ok) {
      EXPECT_EQ(p.block, nullptr);
      EXPECT_EQ(notifier_.boxes.size(), 1u);
      if (!notifier_.boxes.empty()) o.box = notifier_.boxes[0].text;
      return o;
    }
    EXPECT_TRUE(notifier_.boxes.empty());
    EXPECT_NE(p.block, nullptr);
    if (p.block == nullptr) return o;
    EXPECT_EQ(p.dibSize, z9::PictureDibSize(p.width, p.height));
    EXPECT_GE(GlobalSize(p.block), p.dibSize);
    const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(p.block));
    if (dib != nullptr) {
      BITMAPINFOHEADER h;
      std::memcpy(&h, dib, sizeof h);
      EXPECT_EQ(static_cast<uint32_t>(h.biWidth), p.width);
      EXPECT_EQ(static_cast<uint32_t>(h.biHeight), p.height);
      EXPECT_EQ(h.biSizeImage, p.width * p.height * 3);
      o.black = true;
      for (size_t i = 40; i < p.dibSize && o.black; ++i) o.black = dib[i] == 0;
      for (size_t i = 40; i < p.dibSize; ++i) o.hash = (o.hash ^ dib[i]) * 1099511628211u;
      GlobalUnlock(p.block);
    }
    GlobalFree(p.block);
    o.width = p.width;
    o.height = p.height;
    return o;
  }

  FakePropertySet camera_;
  z9twn::StillBuffer buffer_;
  z9twn::GrabTexts texts_;
  RecordingNotifier notifier_;
};

TEST_F(StillFaults, EveryStatusByte) {
  for (int status = 0; status <= 255; ++status) {
    SCOPED_TRACE(status);
    Answer(static_cast<uint8_t>(status), z9::STICAP_YUY2, 0, 64, 48, 64 * 48 * 2);
    const Outcome o = Take();
    switch (status) {
      case 0: EXPECT_EQ(o.width, 64u); break;
      case 1: EXPECT_EQ(o.box, "ERROR 736:9791"); break;
      case 2: EXPECT_EQ(o.box, "Error! Device busy, please try again!"); break;
      case 3: EXPECT_EQ(o.box, "Error! Out of memory!"); break;
      case 4: EXPECT_EQ(o.box, "Error! Stream is stop, please start preview windows!"); break;
      default: EXPECT_EQ(o.box, "ERROR 754:9791"); break;
    }
  }
  EXPECT_EQ(notifier_.sounds, 1) << "only the good still makes its sound";
}

// Every format byte with a header that matches the payload for YUY2 (two
// bytes a pixel), and with no payload at all. A format without converter
// fails like an undecodable still: nothing of it reaches the host.
TEST_F(StillFaults, EveryFormatByte) {
  const size_t payload = 64 * 48 * 2;
  for (int format = 0; format <= 255; ++format) {
    SCOPED_TRACE(format);
    const uint8_t f = static_cast<uint8_t>(format);
    const bool fixedSize = f == z9::STICAP_RGB || f == z9::STICAP_YUY2 || f == z9::STICAP_UYVY ||
                           f == z9::STICAP_I420;
    const size_t need = f == z9::STICAP_RGB ? 64 * 48 * 3 : f == z9::STICAP_I420 ? 64 * 48 * 3 / 2 : payload;

    // Random bytes are no JPEG stream, and the other formats have no converter.
    Answer(0, f, 0, 64, 48, payload, format);
    Outcome o = Take();
    if (fixedSize && need <= payload) {
      EXPECT_EQ(o.width, 64u);
      EXPECT_EQ(o.height, 48u);
    } else {
      EXPECT_EQ(o.box, kRefused);
      EXPECT_EQ(o.width, 0u);
    }

    Answer(0, f, 0, 640, 480, 0, format);
    o = Take();
    EXPECT_EQ(o.box, kRefused) << "a picture without its payload";
    EXPECT_EQ(o.width, 0u);
  }
  EXPECT_EQ(notifier_.sounds, 3) << "only converted stills make their sound";
}

// An answer shorter than the still header, after a good still: the bytes the
// driver did not write are never taken for the new picture. A driver that
// reports its length is refused; one that does not may describe a picture,
// but its payload is not the earlier still's.
TEST_F(StillFaults, ShortAnswerAfterAStillHandsNothingOldOver) {
  const struct {
    size_t length;
    bool reportsLength;
  } cases[] = {{0, true}, {28, true}, {36, true}, {39, true}, {36, false}, {39, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.length << (c.reportsLength ? " reported" : " unreported"));
    camera_.reportReturned = true;
    Answer(0, z9::STICAP_YUY2, 0, 64, 48, 64 * 48 * 2, 5);
    const Outcome first = Take();
    ASSERT_EQ(first.width, 64u);
    Answer(0, z9::STICAP_YUY2, 0, 64, 48, 0);
    camera_.still.resize(c.length);
    camera_.reportReturned = c.reportsLength;
    const Outcome o = Take();
    if (c.reportsLength) {
      EXPECT_EQ(o.box, kRefused);
      EXPECT_EQ(o.width, 0u);
    } else {
      EXPECT_TRUE(o.box == kRefused || o.hash != first.hash) << "the earlier still was handed out again";
    }
  }
}

// Every size code on a small still: only 101, 102 and 103 enlarge.
TEST_F(StillFaults, EverySizeCode) {
  for (int code = 0; code <= 255; ++code) {
    SCOPED_TRACE(code);
    Answer(0, z9::STICAP_YUY2, static_cast<uint8_t>(code), 64, 48, 64 * 48 * 2);
    const Outcome o = Take();
    uint32_t w = 64, h = 48;
    z9twn::EnlargedSize(static_cast<uint8_t>(code), &w, &h);
    EXPECT_EQ(o.width, w);
    EXPECT_EQ(o.height, h);
  }
}

// Sides at and around every limit, in every pairing, for a format whose
// payload the size fixes and for motion JPEG (a small frame, cropped into
// the picture): no picture beyond the still buffer's limit, none the
// payload does not fill.
TEST_F(StillFaults, SidesAroundEveryLimit) {
  const uint32_t sides[] = {0u,     1u,     2u,     47u,     48u,     64u,      65u,      1536u,       1537u,      2048u,
                            2049u,  2560u,  2561u,  16384u,  16385u,  0xFFFFu,  0x10000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
  const std::vector<uint8_t> packed = RandomBytes(64 * 48 * 2, 3);
  const std::vector<uint8_t> jpeg = z9::imgtest::TestFile("s420.jpg");
  ASSERT_FALSE(jpeg.empty());
  for (uint8_t format : {z9::STICAP_YUY2, z9::STICAP_MJPG}) {
    const std::vector<uint8_t>& payload = format == z9::STICAP_YUY2 ? packed : jpeg;
    for (uint32_t w : sides) {
      for (uint32_t h : sides) {
        SCOPED_TRACE(testing::Message() << "format " << int(format) << ", " << w << " x " << h);
        Answer(0, format, 0, w, h, 0);
        camera_.still.insert(camera_.still.end(), payload.begin(), payload.end());
        const Outcome o = Take();
        const uint64_t pixels = uint64_t{w} * h;
        const bool fits = w > 0 && h > 0 && w <= 16384 && h <= 16384 && pixels <= z9twn::kStillBufferSizeLimit / 3 &&
                          (format != z9::STICAP_YUY2 || z9::PackedPayloadSize(w, h) <= payload.size());
        if (fits) {
          EXPECT_EQ(o.width, w);
          EXPECT_EQ(o.height, h);
        } else {
          EXPECT_EQ(o.box, kRefused);
        }
      }
    }
  }
}

}  // namespace
