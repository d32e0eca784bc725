// Reading handed-over pictures and copying their rows for memory transfers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "picture_rows.h"

namespace {

using z9cam::DibLayout;

std::vector<uint8_t> Dib(int32_t width, int32_t height, size_t stride, uint16_t bits = 24, uint32_t compression = 0) {
  const size_t rows = static_cast<size_t>(height < 0 ? -height : height);
  std::vector<uint8_t> b(40 + stride * rows);
  const uint32_t fields[] = {40, static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
  std::memcpy(b.data(), fields, sizeof fields);
  b[12] = 1;
  std::memcpy(&b[14], &bits, 2);
  std::memcpy(&b[16], &compression, 4);
  for (size_t i = 40; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7);
  return b;
}

TEST(PictureRows, LayoutOfSoundAndBrokenPictures) {
  struct Case {
    const char* what;
    std::vector<uint8_t> block;
    size_t cut;
    bool ok;
    size_t stride;
  } cases[] = {
      {"padded rows", Dib(5, 3, 16), 0, true, 16},
      {"packed rows", Dib(5, 3, 15), 0, true, 15},
      {"one byte short", Dib(5, 3, 15), 1, false, 0},
      {"top-down", Dib(4, -2, 12), 0, true, 12},
      {"32 bits", Dib(4, 2, 16, 32), 0, false, 0},
      {"compressed", Dib(4, 2, 12, 24, 1), 0, false, 0},
      {"no width", Dib(0, 2, 0), 0, false, 0},
      {"no height", Dib(4, 0, 12), 0, false, 0},
      {"header only", Dib(4, 2, 12), 24, false, 0},
  };
  for (const Case& c : cases) {
    DibLayout l;
    EXPECT_EQ(z9cam::ReadDibLayout(c.block.data(), c.block.size() - c.cut, &l), c.ok) << c.what;
    if (c.ok) {
      EXPECT_EQ(l.stride, c.stride) << c.what;
    }
  }
  std::vector<uint8_t> huge = Dib(4, 2, 12);
  const uint32_t wide = 0x40000000;
  std::memcpy(&huge[4], &wide, 4);
  DibLayout l;
  EXPECT_FALSE(z9cam::ReadDibLayout(huge.data(), huge.size(), &l)) << "a width whose rows overflow";
  EXPECT_FALSE(z9cam::ReadDibLayout(nullptr, 100, &l));
}

TEST(PictureRows, TopDownRedGreenBlueFromEitherRowOrder) {
  for (int32_t height : {3, -3}) {
    for (size_t stride : {size_t{15}, size_t{16}}) {
      const std::vector<uint8_t> block = Dib(5, height, stride);
      DibLayout l;
      ASSERT_TRUE(z9cam::ReadDibLayout(block.data(), block.size(), &l));
      std::vector<uint8_t> out(2 * 15);
      z9cam::CopyRowsTopDownRgb(block.data(), l, 1, 2, out.data());
      for (uint32_t r = 0; r < 2; ++r) {
        const uint32_t top = 1 + r;
        const uint32_t stored = height > 0 ? 2 - top : top;
        for (uint32_t x = 0; x < 5; ++x)
          for (int c = 0; c < 3; ++c)
            ASSERT_EQ(out[r * 15 + x * 3 + c], block[40 + stored * stride + x * 3 + (2 - c)])
                << "height " << height << " stride " << stride << " row " << top << " x " << x;
      }
    }
  }
}

TEST(PictureRows, PackedRowsBecomeAStandardDib) {
  const std::vector<uint8_t> block = Dib(5, 3, 15);
  DibLayout l;
  ASSERT_TRUE(z9cam::ReadDibLayout(block.data(), block.size(), &l));
  ASSERT_EQ(z9cam::PaddedDibSize(l), 40u + 16 * 3);
  std::vector<uint8_t> out(z9cam::PaddedDibSize(l), 0xEE);
  z9cam::CopyToPaddedDib(block.data(), l, out.data());
  uint32_t sizeImage = 0;
  std::memcpy(&sizeImage, &out[20], 4);
  EXPECT_EQ(sizeImage, 48u);
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(std::memcmp(&out[40 + r * 16], &block[40 + r * 15], 15), 0) << "row " << r;
    EXPECT_EQ(out[40 + r * 16 + 15], 0) << "padding of row " << r;
  }
}

}  // namespace
