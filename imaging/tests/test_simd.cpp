// Every kernel table against the scalar one on random inputs, with lengths
// that leave tails of every size.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "test_support.h"

namespace z9::img {
namespace {

using imgtest::RandomBytes;

std::vector<const Kernels*> Wide() {
  std::vector<const Kernels*> v;
  for (auto level : imgtest::SupportedLevels()) {
    if (level == SimdLevel::kSse2) v.push_back(Sse2Kernels());
    if (level == SimdLevel::kAvx2) v.push_back(Avx2Kernels());
  }
  return v;
}

TEST(Kernels, LevelInUse) {
  // Shown in the log: which tables the comparisons below cover here.
  std::printf("detected kernel level: %s\n", imgtest::LevelName(DetectedSimdLevel()));
  EXPECT_EQ(ActiveSimdLevel(), DetectedSimdLevel());
#if defined(__i386__) || defined(__x86_64__)
  EXPECT_GE(static_cast<int>(DetectedSimdLevel()), static_cast<int>(SimdLevel::kSse2));
#endif
}

const size_t kLengths[] = {0, 1, 2, 3, 7, 8, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 640, 1283};

TEST(Kernels, PackedYuv) {
  const Kernels& s = ScalarKernels();
  for (const Kernels* k : Wide()) {
    for (size_t pairs : kLengths) {
      const auto in = RandomBytes(pairs * 4 + 1, static_cast<uint32_t>(pairs));
      std::vector<uint8_t> a(pairs * 6 + 1, 1), b(pairs * 6 + 1, 1);
      s.yuy2(in.data(), a.data(), pairs);
      k->yuy2(in.data(), b.data(), pairs);
      ASSERT_EQ(a, b) << "yuy2 " << pairs;
      s.uyvy(in.data(), a.data(), pairs);
      k->uyvy(in.data(), b.data(), pairs);
      ASSERT_EQ(a, b) << "uyvy " << pairs;
    }
  }
}

// Every chroma pair with lumas at both ends and in between: the brackets of
// the packed formulas reach past 16 bits in their parts (129 U, 74 Y) and
// the clamps at both ends, which random bytes seldom all meet.
TEST(Kernels, PackedYuvEveryChroma) {
  const Kernels& s = ScalarKernels();
  const uint8_t lumas[][2] = {{0, 255}, {255, 0}, {16, 235}, {235, 16}, {128, 127}, {1, 254}};
  std::vector<uint8_t> yuy2(65536 * 4), uyvy(65536 * 4);
  for (const auto& l : lumas) {
    for (size_t i = 0; i < 65536; ++i) {
      const uint8_t u = static_cast<uint8_t>(i), v = static_cast<uint8_t>(i >> 8);
      const uint8_t y0 = static_cast<uint8_t>(l[0] + (i % 3 == 2)), y1 = static_cast<uint8_t>(l[1] - (i % 5 == 4));
      const uint8_t p[4] = {y0, u, y1, v}, q[4] = {u, y0, v, y1};
      std::memcpy(&yuy2[4 * i], p, 4);
      std::memcpy(&uyvy[4 * i], q, 4);
    }
    for (const Kernels* k : Wide()) {
      std::vector<uint8_t> a(65536 * 6), b(65536 * 6);
      s.yuy2(yuy2.data(), a.data(), 65536);
      k->yuy2(yuy2.data(), b.data(), 65536);
      ASSERT_EQ(a, b) << "yuy2 " << int(l[0]) << " " << int(l[1]);
      s.uyvy(uyvy.data(), a.data(), 65536);
      k->uyvy(uyvy.data(), b.data(), 65536);
      ASSERT_EQ(a, b) << "uyvy " << int(l[0]) << " " << int(l[1]);
      // The same pairs as I420 rows: lumas y0 y1 per chroma sample.
      std::vector<uint8_t> y(2 * 256), us(256), vs(256), c(256 * 2 * 3), d(256 * 2 * 3);
      for (size_t row = 0; row < 256; ++row) {
        for (size_t x = 0; x < 256; ++x) {
          const size_t i = row * 256 + x;
          y[2 * x] = yuy2[4 * i];
          y[2 * x + 1] = yuy2[4 * i + 2];
          us[x] = yuy2[4 * i + 1];
          vs[x] = yuy2[4 * i + 3];
        }
        s.i420Row(y.data(), us.data(), vs.data(), c.data(), 512);
        k->i420Row(y.data(), us.data(), vs.data(), d.data(), 512);
        ASSERT_EQ(c, d) << "i420 row " << row;
      }
    }
  }
}

TEST(Kernels, I420Row) {
  const Kernels& s = ScalarKernels();
  for (const Kernels* k : Wide()) {
    for (size_t w : kLengths) {
      const auto y = RandomBytes(w, 1 + static_cast<uint32_t>(w));
      const auto u = RandomBytes((w + 1) / 2, 2 + static_cast<uint32_t>(w));
      const auto v = RandomBytes((w + 1) / 2, 3 + static_cast<uint32_t>(w));
      std::vector<uint8_t> a(w * 3 + 1, 1), b(w * 3 + 1, 1);
      s.i420Row(y.data(), u.data(), v.data(), a.data(), w);
      k->i420Row(y.data(), u.data(), v.data(), b.data(), w);
      ASSERT_EQ(a, b) << w;
    }
  }
}

TEST(Kernels, I420RowPair) {
  // Two rows over one chroma row: each as the scalar single row gives it.
  const Kernels& s = ScalarKernels();
  for (const Kernels* k : Wide()) {
    for (size_t w : kLengths) {
      const auto y = RandomBytes(2 * w, 4 + static_cast<uint32_t>(w));
      const auto u = RandomBytes((w + 1) / 2, 5 + static_cast<uint32_t>(w));
      const auto v = RandomBytes((w + 1) / 2, 6 + static_cast<uint32_t>(w));
      std::vector<uint8_t> a0(w * 3 + 1, 1), a1(w * 3 + 1, 1), b0(w * 3 + 1, 1), b1(w * 3 + 1, 1);
      s.i420Row(y.data(), u.data(), v.data(), a0.data(), w);
      s.i420Row(y.data() + w, u.data(), v.data(), a1.data(), w);
      k->i420RowPair(y.data(), y.data() + w, u.data(), v.data(), b0.data(), b1.data(), w);
      ASSERT_EQ(a0, b0) << w;
      ASSERT_EQ(a1, b1) << w;
    }
  }
}

TEST(Kernels, InverseDct) {
  const Kernels& s = ScalarKernels();
  for (const Kernels* k : Wide()) {
    for (size_t count : {1, 2, 3, 8, 9}) {
      for (int round = 0; round < 40; ++round) {
        // Coefficients of every magnitude, from realistic to overflowing.
        alignas(32) int16_t blocks[9 * 64];
        const auto r = RandomBytes(sizeof blocks, static_cast<uint32_t>(round * 16 + count));
        std::memcpy(blocks, r.data(), sizeof blocks);
        const int shift = round % 8 * 2;
        for (auto& c : blocks) c = static_cast<int16_t>(c >> shift);
        if (round % 5 == 0)  // sparse blocks, DC-only blocks
          for (size_t i = 0; i < count * 64; ++i)
            if (i % 64 != 0 && (round % 10 == 0 || r[i] % 8)) blocks[i] = 0;
        const ptrdiff_t stride = static_cast<ptrdiff_t>(count * 8 + 3);
        std::vector<uint8_t> a(stride * 8, 7), b(stride * 8, 7);
        s.idctBlocks(blocks, count, a.data(), stride);
        k->idctBlocks(blocks, count, b.data(), stride);
        ASSERT_EQ(a, b) << count << " round " << round;
      }
    }
  }
}

TEST(Kernels, ColourRows) {
  const Kernels& s = ScalarKernels();
  for (const Kernels* k : Wide()) {
    for (size_t n : kLengths) {
      const auto y = RandomBytes(n, 11 + static_cast<uint32_t>(n));
      auto cb = RandomBytes(n, 12 + static_cast<uint32_t>(n));
      auto cr = RandomBytes(n, 13 + static_cast<uint32_t>(n));
      if (n == 640)  // every chroma value once
        for (size_t i = 0; i < 256; ++i) cb[i] = cr[255 - i] = static_cast<uint8_t>(i);
      std::vector<uint8_t> a(n * 3 + 1, 1), b(n * 3 + 1, 1);
      s.color444(y.data(), cb.data(), cr.data(), a.data(), n);
      k->color444(y.data(), cb.data(), cr.data(), b.data(), n);
      ASSERT_EQ(a, b) << "444 " << n;
      s.colorH2(y.data(), cb.data(), cr.data(), a.data(), n);
      k->colorH2(y.data(), cb.data(), cr.data(), b.data(), n);
      ASSERT_EQ(a, b) << "h2 " << n;
      // Two rows over one chroma row: each as the scalar single row.
      const auto y1 = RandomBytes(n, 14 + static_cast<uint32_t>(n));
      std::vector<uint8_t> a1(n * 3 + 1, 1), b1(n * 3 + 1, 2);
      s.colorH2(y1.data(), cb.data(), cr.data(), a1.data(), n);
      k->colorH2Pair(y.data(), y1.data(), cb.data(), cr.data(), b.data(), b1.data(), n);
      ASSERT_EQ(a, b) << "h2 pair, first row " << n;
      a1.back() = b1.back();  // the byte past the row is the caller's
      ASSERT_EQ(a1, b1) << "h2 pair, second row " << n;
      s.grey(y.data(), a.data(), n);
      k->grey(y.data(), b.data(), n);
      ASSERT_EQ(a, b) << "grey " << n;
    }
  }
}

TEST(Kernels, UpscalerPasses) {
  const Kernels& s = ScalarKernels();
  for (const Kernels* k : Wide()) {
    for (size_t n : kLengths) {
      const auto bgr = RandomBytes(n * 3, 21 + static_cast<uint32_t>(n));
      std::vector<uint8_t> p[6];
      for (auto& v : p) v.assign(n + 1, 9);
      s.split3(bgr.data(), p[0].data(), p[1].data(), p[2].data(), n);
      k->split3(bgr.data(), p[3].data(), p[4].data(), p[5].data(), n);
      for (int c = 0; c < 3; ++c) ASSERT_EQ(p[c], p[c + 3]) << "split " << n;
      std::vector<uint8_t> a(n * 3 + 1, 1), b(n * 3 + 1, 1);
      s.merge3(p[0].data(), p[1].data(), p[2].data(), a.data(), n);
      k->merge3(p[0].data(), p[1].data(), p[2].data(), b.data(), n);
      ASSERT_EQ(a, b) << "merge " << n;
      if (n) {
        ASSERT_EQ(0, std::memcmp(a.data(), bgr.data(), n * 3));
      }
      for (int phase = 0; phase < 128; phase += 9) {
        const auto rows = RandomBytes(4 * n + 1, static_cast<uint32_t>(phase + n));
        const uint8_t* r = rows.data();
        s.vertical(r, r + n, r + 2 * n, r + 3 * n, CubicWeights(phase), a.data(), n);
        k->vertical(r, r + n, r + 2 * n, r + 3 * n, CubicWeights(phase), b.data(), n);
        ASSERT_EQ(a, b) << "vertical " << n << " phase " << phase;
      }
    }
  }
}

}  // namespace
}  // namespace z9::img
