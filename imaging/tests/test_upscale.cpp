// The cubic weight table and the upscaler, against a plain per-pixel
// implementation of the same filter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "test_support.h"

namespace z9 {
namespace {

double CatmullRom(double x) {
  x = std::fabs(x);
  const double a = -0.5;
  if (x <= 1) return (a + 2) * x * x * x - (a + 3) * x * x + 1;
  if (x < 2) return a * x * x * x - 5 * a * x * x + 8 * a * x - 4 * a;
  return 0;
}

TEST(CubicWeightTable, RowsSumTo64AndFollowTheKernel) {
  for (int p = 0; p < 128; ++p) {
    const int16_t* w = CubicWeightTable[p];
    EXPECT_EQ(w[0] + w[1] + w[2] + w[3], 64) << p;
    const double t = p / 128.0;
    const double ideal[4] = {CatmullRom(1 + t), CatmullRom(t), CatmullRom(1 - t), CatmullRom(2 - t)};
    for (int k = 0; k < 4; ++k) EXPECT_LT(std::fabs(w[k] - 64 * ideal[k]), 1.0) << p << " " << k;
  }
  const struct {
    int phase;
    int16_t w[4];
  } telling[] = {{0, {0, 64, 0, 0}},     {1, {0, 64, 0, 0}},     {2, {0, 64, 0, 0}},
                 {3, {-1, 64, 1, 0}},    {8, {-2, 64, 2, 0}},    {16, {-3, 61, 6, 0}},
                 {24, {-4, 59, 10, -1}}, {32, {-5, 56, 15, -2}}, {40, {-5, 51, 20, -2}},
                 {48, {-5, 47, 25, -3}}, {56, {-4, 41, 30, -3}}, {64, {-4, 36, 36, -4}},
                 {72, {-3, 30, 41, -4}}, {80, {-3, 25, 47, -5}}, {96, {-2, 15, 55, -4}},
                 {112, {0, 5, 62, -3}},  {120, {0, 3, 63, -2}},  {127, {0, 0, 64, 0}}};
  for (const auto& r : telling)
    EXPECT_EQ(0, std::memcmp(CubicWeightTable[r.phase], r.w, sizeof r.w)) << r.phase;
}

uint8_t Clamp(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// The filter written out per target sample, on separate channel planes.
std::vector<uint8_t> Reference(const uint8_t* src, int sw, int sh, int tw, int th) {
  const int stepX = ((sw - 5) * 128) / (tw - 1), stepY = ((sh - 5) * 128) / (th - 1);
  std::vector<uint8_t> out(static_cast<size_t>(tw) * th * 3);
  for (int c = 0; c < 3; ++c) {
    std::vector<uint8_t> plane(static_cast<size_t>(sw) * sh);
    for (size_t i = 0; i < plane.size(); ++i) plane[i] = src[3 * i + c];
    for (int y = 0; y < th; ++y) {
      const int ys = y * stepY, iy = ys / 128, py = ys % 128;
      for (int x = 0; x < tw; ++x) {
        const int xs = x * stepX, ix = xs / 128, px = xs % 128;
        int h[4];
        for (int r = 0; r < 4; ++r) {
          int16_t sum = 0;
          for (int k = 0; k < 4; ++k)
            sum = static_cast<int16_t>(sum + CubicWeightTable[px][k] * plane[(iy + r) * sw + ix + k]);
          h[r] = Clamp((sum + 64) >> 6);
        }
        int16_t v = 0;
        for (int r = 0; r < 4; ++r) v = static_cast<int16_t>(v + CubicWeightTable[py][r] * h[r]);
        out[(static_cast<size_t>(y) * tw + x) * 3 + c] = Clamp((v + 64) >> 6);
      }
    }
  }
  return out;
}

std::vector<uint8_t> SourceDib(uint32_t w, uint32_t h, uint32_t seed) {
  std::vector<uint8_t> dib(PictureDibSize(w, h));
  WriteDibHeader(dib.data(), dib.size(), w, h);
  const auto px = imgtest::RandomBytes(PictureSize(w, h), seed);
  // Smooth the noise a little so that both clamps and mid values occur.
  for (size_t i = 0; i < px.size(); ++i) dib[40 + i] = static_cast<uint8_t>(i % 3 == 0 ? px[i] : (px[i] & 0x3F) + 96);
  return dib;
}

TEST(UpscaleStill, MatchesThePerPixelFilterForTheSnapshotSizes) {
  const auto src = SourceDib(640, 480, 5);
  const struct {
    uint32_t w, h;
  } targets[] = {{800, 600}, {1024, 768}, {1280, 960}};
  for (const auto& t : targets) {
    const auto ref = Reference(src.data() + 40, 640, 480, t.w, t.h);
    for (auto level : imgtest::SupportedLevels()) {
      imgtest::ScopedLevel scoped(level);
      const auto dib = UpscaleStill(src.data(), src.size(), 640, 480, t.w, t.h);
      ASSERT_EQ(dib.size(), PictureDibSize(t.w, t.h));
      uint8_t header[40];
      WriteDibHeader(header, 40, t.w, t.h);
      EXPECT_EQ(0, std::memcmp(dib.data(), header, 40));
      EXPECT_EQ(0, std::memcmp(dib.data() + 40, ref.data(), ref.size()))
          << t.w << " " << imgtest::LevelName(level);
    }
  }
}

TEST(UpscaleStill, StepsAndTheFirstPixel) {
  // stepX = (640 - 5) x 128 / (target - 1): 101, 79, 63. With these steps
  // target column 1 lies at source 1 + step / 128 (phase = step).
  EXPECT_EQ((635 * 128) / 799, 101);
  EXPECT_EQ((635 * 128) / 1023, 79);
  EXPECT_EQ((635 * 128) / 1279, 63);
  EXPECT_EQ((475 * 128) / 599, 101);
  EXPECT_EQ((475 * 128) / 767, 79);
  EXPECT_EQ((475 * 128) / 959, 63);

  // Target (0, 0) has phase 0 in both passes: source (1, 1) + 2, at most 255.
  auto src = SourceDib(640, 480, 6);
  uint8_t* s11 = src.data() + 40 + (640 + 1) * 3;
  s11[0] = 254;
  s11[1] = 10;
  s11[2] = 255;
  for (auto level : imgtest::SupportedLevels()) {
    imgtest::ScopedLevel scoped(level);
    for (uint32_t tw : {800u, 1024u, 1280u}) {
      const auto dib = UpscaleStill(src.data(), src.size(), 640, 480, tw, tw * 3 / 4);
      ASSERT_FALSE(dib.empty());
      EXPECT_EQ(dib[40], 255);
      EXPECT_EQ(dib[41], 12);
      EXPECT_EQ(dib[42], 255);
    }
  }
  // A flat area rises by one level per pass.
  std::vector<uint8_t> flat(PictureDibSize(16, 16), 100);
  const auto up = UpscaleStill(flat.data(), flat.size(), 16, 16, 40, 40);
  ASSERT_FALSE(up.empty());
  for (size_t i = 40; i < up.size(); ++i) ASSERT_EQ(up[i], 102);
}

TEST(UpscaleStill, OddAndShrinkingSizesMatchTheReference) {
  const struct {
    uint32_t sw, sh, tw, th;
  } cases[] = {{6, 6, 2, 2},    {6, 7, 13, 9},   {37, 21, 101, 55}, {64, 48, 20, 15},
               {64, 48, 64, 48}, {33, 19, 333, 7}, {300, 8, 97, 3}};
  for (const auto& c : cases) {
    const auto src = SourceDib(c.sw, c.sh, c.tw);
    const auto ref = Reference(src.data() + 40, c.sw, c.sh, c.tw, c.th);
    for (auto level : imgtest::SupportedLevels()) {
      imgtest::ScopedLevel scoped(level);
      imgtest::Guarded dst(PictureDibSize(c.tw, c.th));
      ASSERT_TRUE(UpscaleStill(src.data(), src.size(), c.sw, c.sh, dst.data(), dst.size(), c.tw, c.th));
      EXPECT_EQ(0, std::memcmp(dst.data() + 40, ref.data(), ref.size()))
          << c.sw << "x" << c.sh << "->" << c.tw << "x" << c.th << " " << imgtest::LevelName(level);
      EXPECT_TRUE(dst.GuardsIntact());
    }
  }
}

TEST(UpscaleStill, RefusesWhatTheFilterCannotServe) {
  const auto src = SourceDib(640, 480, 7);
  EXPECT_TRUE(UpscaleStill(src.data(), src.size(), 5, 480, 800, 600).empty());
  EXPECT_TRUE(UpscaleStill(src.data(), src.size(), 640, 5, 800, 600).empty());
  EXPECT_TRUE(UpscaleStill(src.data(), src.size(), 640, 480, 1, 600).empty());
  EXPECT_TRUE(UpscaleStill(src.data(), src.size(), 640, 480, 800, 1).empty());
  EXPECT_TRUE(UpscaleStill(src.data(), src.size() - 1, 640, 480, 800, 600).empty());
  imgtest::Guarded dst(PictureDibSize(800, 600) - 1, 0x42);
  EXPECT_FALSE(UpscaleStill(src.data(), src.size(), 640, 480, dst.data(), dst.size(), 800, 600));
  EXPECT_TRUE(dst.AllEqual(0x42));
}

}  // namespace
}  // namespace z9
