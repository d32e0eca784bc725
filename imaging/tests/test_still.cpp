// The still header, the DIB layout, the dispatch, the YUV converters and the
// row flip.
#include <gtest/gtest.h>

#include <cstring>

#include "test_support.h"

namespace z9 {
namespace {

using imgtest::Guarded;
using imgtest::MakeStill;

TEST(StillHeader, ReadsTheLittleEndianLayout) {
  std::vector<uint8_t> s(40);
  for (int i = 0; i < 40; ++i) s[i] = static_cast<uint8_t>(i + 1);
  StillHeader h;
  ASSERT_TRUE(ReadStillHeader(s.data(), s.size(), &h));
  EXPECT_EQ(h.propertySet[0], 1);
  EXPECT_EQ(h.propertySet[15], 16);
  EXPECT_EQ(h.propertyId, 0x14131211u);
  EXPECT_EQ(h.flags, 0x18171615u);
  EXPECT_EQ(h.status, 25);
  EXPECT_EQ(h.format, 26);
  EXPECT_EQ(h.sizeCode, 27);
  EXPECT_EQ(h.height, 0x201F1E1Du);
  EXPECT_EQ(h.width, 0x24232221u);
  EXPECT_FALSE(ReadStillHeader(s.data(), 39, &h));
}

TEST(Dib, SizesAndHeader) {
  EXPECT_EQ(PictureSize(640, 480), 921600u);
  EXPECT_EQ(PictureDibSize(640, 480), 921640u);
  EXPECT_EQ(PictureDibSize(800, 600), 1440040u);
  EXPECT_EQ(PictureDibSize(1024, 768), 2359336u);
  EXPECT_EQ(PictureDibSize(1280, 960), 3686440u);
  EXPECT_EQ(PictureSize(0, 480), 0u);
  if (sizeof(size_t) == 4) {
    EXPECT_EQ(PictureDibSize(65535, 65535), 0u);  // does not fit
  }

  uint8_t h[40];
  std::memset(h, 0xEE, sizeof h);
  ASSERT_TRUE(WriteDibHeader(h, sizeof h, 800, 600));
  const uint8_t expect[40] = {40, 0, 0, 0, 0x20, 3, 0, 0, 0x58, 2, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
                              0x00, 0xF9, 0x15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(h, expect, 40));  // biSizeImage 1440000
  EXPECT_FALSE(WriteDibHeader(h, 39, 800, 600));
}

TEST(DecodeImage, FormatsWithoutConverterLeaveThePicture) {
  for (uint8_t format : {STICAP_JPG, STICAP_YUV, STICAP_RAW, uint8_t{6}, uint8_t{9}, uint8_t{255}}) {
    const auto still = MakeStill(format, 4, 2, std::vector<uint8_t>(64, 0x33));
    Guarded pic(24, 0x77);
    StillResult r;
    EXPECT_EQ(DecodeImage(pic.data(), pic.size(), still.data(), still.size(), &r), 1);
    EXPECT_EQ(r, StillResult::kNotConverted) << int(format);
    EXPECT_TRUE(pic.AllEqual(0x77));
  }
}

TEST(DecodeImage, CopiesRgbAndDispatchesTheConverters) {
  const auto payload = imgtest::RandomBytes(4 * 2 * 3, 1);
  auto still = MakeStill(STICAP_RGB, 4, 2, payload);
  std::vector<uint8_t> pic(24);
  StillResult r;
  EXPECT_EQ(DecodeImage(pic.data(), pic.size(), still.data(), still.size(), &r), 1);
  EXPECT_EQ(r, StillResult::kConverted);
  EXPECT_EQ(pic, payload);

  // YUY2 through the dispatcher equals the converter called directly.
  const auto yuv = imgtest::RandomBytes(16, 2);
  still = MakeStill(STICAP_YUY2, 4, 2, yuv);
  std::vector<uint8_t> direct(24);
  ASSERT_TRUE(ConvertYuy2(direct.data(), direct.size(), yuv.data(), yuv.size(), 4, 2));
  DecodeImage(pic.data(), pic.size(), still.data(), still.size(), &r);
  EXPECT_EQ(r, StillResult::kConverted);
  EXPECT_EQ(pic, direct);
}

TEST(DecodeImage, RefusesStillsWhoseSizeDoesNotFit) {
  struct Case {
    uint8_t format;
    size_t payload;  // one byte short of what 640 x 480 needs
  } cases[] = {{STICAP_RGB, 921599}, {STICAP_YUY2, 614399}, {STICAP_UYVY, 614399},
               {STICAP_I420, 460799}};
  for (const Case& c : cases) {
    const auto still = MakeStill(c.format, 640, 480, std::vector<uint8_t>(c.payload, 0x80));
    Guarded pic(921600, 0x11);
    StillResult r;
    EXPECT_EQ(DecodeImage(pic.data(), pic.size(), still.data(), still.size(), &r), 1);
    EXPECT_EQ(r, StillResult::kRefused) << int(c.format);
    EXPECT_TRUE(pic.AllEqual(0x11));
    // One byte more and it converts.
    const auto ok = MakeStill(c.format, 640, 480, std::vector<uint8_t>(c.payload + 1, 0x80));
    DecodeImage(pic.data(), pic.size(), ok.data(), ok.size(), &r);
    EXPECT_EQ(r, StillResult::kConverted) << int(c.format);
    EXPECT_TRUE(pic.GuardsIntact());
  }
  // A picture smaller than the header's size, a huge size, a short header.
  const auto still = MakeStill(STICAP_YUY2, 640, 480, std::vector<uint8_t>(614400));
  Guarded small(921599, 0x11);
  StillResult r;
  DecodeImage(small.data(), small.size(), still.data(), still.size(), &r);
  EXPECT_EQ(r, StillResult::kRefused);
  EXPECT_TRUE(small.AllEqual(0x11));
  const auto huge = MakeStill(STICAP_RGB, 0xFFFFFFFFu, 0xFFFFFFFFu, std::vector<uint8_t>(64));
  DecodeImage(small.data(), small.size(), huge.data(), huge.size(), &r);
  EXPECT_EQ(r, StillResult::kRefused);
  EXPECT_EQ(DecodeImage(small.data(), small.size(), still.data(), 39, &r), 1);
  EXPECT_EQ(r, StillResult::kRefused);
  EXPECT_TRUE(small.AllEqual(0x11) && small.GuardsIntact());
}

TEST(Yuy2, BlackAndWhitePairAndLength) {
  // 640 x 480: 614400 payload bytes, 921600 picture bytes.
  std::vector<uint8_t> payload(614400);
  for (size_t i = 0; i < payload.size(); i += 4) {
    payload[i] = 16;
    payload[i + 1] = 128;
    payload[i + 2] = 235;
    payload[i + 3] = 128;
  }
  ASSERT_EQ(PackedPayloadSize(640, 480), payload.size());
  Guarded pic(921600);
  ASSERT_TRUE(ConvertYuy2(pic.data(), pic.size(), payload.data(), payload.size(), 640, 480));
  for (size_t i = 0; i < 921600; i += 6) {
    ASSERT_EQ(pic.data()[i], 0);
    ASSERT_EQ(pic.data()[i + 2], 0);
    ASSERT_EQ(pic.data()[i + 3], 253);
    ASSERT_EQ(pic.data()[i + 5], 253);
  }
  EXPECT_TRUE(pic.GuardsIntact());
}

TEST(Yuy2, SixFractionalBitsWithClamping) {
  // Saturated chroma. The first blue sum, 74 x 239 + 129 x 127 = 34069,
  // needs 17 bits: it is 532 after the shift, clamped to 255, not wrapped.
  const uint8_t in[8] = {255, 255, 16, 0, 80, 0, 200, 255};
  uint8_t out[12];
  ASSERT_TRUE(ConvertYuy2(out, sizeof out, in, sizeof in, 4, 1));
  const uint8_t expect[12] = {255, 255, 70, 255, 54, 0, 0, 20, 255, 0, 159, 255};
  EXPECT_EQ(0, std::memcmp(out, expect, 12));
}

TEST(Uyvy, BlackAndWhitePair) {
  const uint8_t in[4] = {128, 16, 128, 235};
  uint8_t out[6];
  ASSERT_TRUE(ConvertUyvy(out, sizeof out, in, sizeof in, 2, 1));
  const uint8_t expect[6] = {0, 0, 0, 255, 255, 255};
  EXPECT_EQ(0, std::memcmp(out, expect, 6));
  // The studio-range formulas with rounding: U = 90, Y = 100, V = 200.
  const uint8_t in2[4] = {90, 100, 200, 100};
  ASSERT_TRUE(ConvertUyvy(out, sizeof out, in2, sizeof in2, 2, 1));
  EXPECT_EQ(out[0], (298 * 100 + 516 * 90 - 70688) >> 8);
  EXPECT_EQ(out[1], (298 * 100 - 100 * 90 - 208 * 200 + 34784) >> 8);
  EXPECT_EQ(out[2], (298 * 100 + 409 * 200 - 56992) >> 8);
  // And clamped: U = 255 drives blue past 255, V = 0 red below 0.
  const uint8_t in3[4] = {255, 16, 0, 16};
  ASSERT_TRUE(ConvertUyvy(out, sizeof out, in3, sizeof in3, 2, 1));
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[2], 0);
}

TEST(I420, ChromaIndexPerTwoByTwoBlock) {
  // 4 x 2: Y plane 8 bytes, U at 8, V at 10; block 0 uses U[0], V[0].
  const uint8_t in[12] = {16, 16, 235, 235, 16, 16, 235, 235, 128, 255, 128, 0};
  uint8_t out[24];
  ASSERT_TRUE(ConvertI420(out, sizeof out, in, sizeof in, 4, 2));
  for (int row = 0; row < 2; ++row) {
    const uint8_t* p = out + row * 12;
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(p[2], 0);  // chroma 0: grey
    EXPECT_EQ(p[6], 255);  // chroma 1: U = 255 (blue), V = 0
    EXPECT_EQ(p[7], 255);
    EXPECT_EQ(p[8], (298 * 235 - 56992) >> 8);
  }
}

TEST(I420, RowsTakeTheChromaRowOfTheirPairAtEveryLevel) {
  // Rows go through in pairs sharing a chroma row; an odd height leaves a
  // last single row with the last chroma row. Each row as the scalar row.
  for (uint32_t h : {1u, 2u, 5u, 6u}) {
    const uint32_t w = 70, cw = 35, ch = (h + 1) / 2;
    const auto planar = imgtest::RandomBytes(I420PayloadSize(w, h), 40 + h);
    const uint8_t* u = planar.data() + w * h;
    const uint8_t* v = u + cw * ch;
    std::vector<uint8_t> want(PictureSize(w, h));
    for (uint32_t y = 0; y < h; ++y)
      img::ScalarKernels().i420Row(planar.data() + y * w, u + y / 2 * cw, v + y / 2 * cw, want.data() + y * w * 3, w);
    for (auto level : imgtest::SupportedLevels()) {
      imgtest::ScopedLevel scoped(level);
      std::vector<uint8_t> pic(PictureSize(w, h), 0x5A);
      ASSERT_TRUE(ConvertI420(pic.data(), pic.size(), planar.data(), planar.size(), w, h));
      EXPECT_EQ(pic, want) << h << " " << imgtest::LevelName(level);
    }
  }
}

// Odd widths and heights: every byte read and written is inside the exact
// buffers (the sanitizer build catches a stray access; guards elsewhere).
TEST(Converters, OddSizesStayInsideTheBuffers) {
  for (uint32_t w : {1u, 3u, 5u, 17u, 33u}) {
    for (uint32_t h : {1u, 2u, 3u, 7u}) {
      const auto packed = imgtest::RandomBytes(PackedPayloadSize(w, h), w * 31 + h);
      Guarded pic(PictureSize(w, h));
      ASSERT_TRUE(ConvertYuy2(pic.data(), pic.size(), packed.data(), packed.size(), w, h));
      EXPECT_TRUE(pic.GuardsIntact());
      // The odd last pixel takes the first luma of its pair.
      uint8_t pair[6];
      ConvertYuy2(pair, 6, packed.data() + (packed.size() / h) - 4, 4, 2, 1);
      EXPECT_EQ(0, std::memcmp(pic.data() + (w - 1) * 3, pair, 3));
      ASSERT_TRUE(ConvertUyvy(pic.data(), pic.size(), packed.data(), packed.size(), w, h));
      EXPECT_TRUE(pic.GuardsIntact());
      const auto planar = imgtest::RandomBytes(I420PayloadSize(w, h), w * 7 + h);
      ASSERT_TRUE(ConvertI420(pic.data(), pic.size(), planar.data(), planar.size(), w, h));
      EXPECT_TRUE(pic.GuardsIntact());
      EXPECT_FALSE(ConvertI420(pic.data(), pic.size(), planar.data(), planar.size() - 1, w, h));
      EXPECT_FALSE(ConvertUyvy(pic.data(), pic.size() - 1, packed.data(), packed.size(), w, h));
    }
  }
  EXPECT_EQ(PackedPayloadSize(3, 2), 16u);
  EXPECT_EQ(I420PayloadSize(3, 3), 9u + 2 * 4);
  EXPECT_EQ(I420PayloadSize(640, 480), 460800u);
}

TEST(FlipRows, SwapsRowsAndKeepsTheMiddleOfAnOddHeight) {
  const uint32_t w = 3, h = 5;
  std::vector<uint8_t> pic(w * h * 3);
  for (size_t i = 0; i < pic.size(); ++i) pic[i] = static_cast<uint8_t>(i / (w * 3));  // row number
  ASSERT_TRUE(FlipRows(pic.data(), pic.size(), w, h));
  for (uint32_t r = 0; r < h; ++r)
    for (uint32_t i = 0; i < w * 3; ++i) ASSERT_EQ(pic[r * w * 3 + i], h - 1 - r);
  EXPECT_FALSE(FlipRows(pic.data(), pic.size() - 1, w, h));
  // Rows longer than the flip's chunk.
  std::vector<uint8_t> wide = imgtest::RandomBytes(1000 * 3 * 2, 9), orig = wide;
  ASSERT_TRUE(FlipRows(wide.data(), wide.size(), 1000, 2));
  EXPECT_EQ(0, std::memcmp(wide.data(), orig.data() + 3000, 3000));
  EXPECT_EQ(0, std::memcmp(wide.data() + 3000, orig.data(), 3000));
}

}  // namespace
}  // namespace z9
