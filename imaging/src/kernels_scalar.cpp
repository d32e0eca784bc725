// Reference inner loops: the fixed-point formulas exactly as the decoders
// define them. The SIMD tables are tested against these.
#include <array>
#include <cstring>

#include "kernels.h"

namespace z9::img {
namespace {

// trunc(num / den x (s - 128)) for s = 0..255; C++ division truncates.
template <int kNum, int kDen>
constexpr std::array<int16_t, 256> MakeColorTable() {
  std::array<int16_t, 256> t{};
  for (int s = 0; s < 256; ++s) t[s] = static_cast<int16_t>(kNum * (s - 128) / kDen);
  return t;
}

}  // namespace

const std::array<int16_t, 256> kRedFromCr = MakeColorTable<140200, 100000>();
const std::array<int16_t, 256> kGreenFromCr = MakeColorTable<-71414, 100000>();
const std::array<int16_t, 256> kGreenFromCb = MakeColorTable<-34414, 100000>();
const std::array<int16_t, 256> kBlueFromCb = MakeColorTable<177200, 100000>();

namespace {

void Yuy2(const uint8_t* src, uint8_t* dst, size_t pairs) {
  for (size_t i = 0; i < pairs; ++i, src += 4, dst += 6) {
    const int u = src[1] - 128, v = src[3] - 128;
    const int ys[2] = {74 * (src[0] - 16), 74 * (src[2] - 16)};
    for (int k = 0; k < 2; ++k) {
      const int y = ys[k];
      dst[3 * k + 0] = Clamp255((y + 129 * u) >> 6);
      dst[3 * k + 1] = Clamp255((y - 25 * u - 52 * v) >> 6);
      dst[3 * k + 2] = Clamp255((y + 103 * v) >> 6);
    }
  }
}

inline void Bt601(int y, int u, int v, uint8_t* dst) {
  dst[0] = Clamp255((298 * y + 516 * u - 70688) >> 8);
  dst[1] = Clamp255((298 * y - 100 * u - 208 * v + 34784) >> 8);
  dst[2] = Clamp255((298 * y + 409 * v - 56992) >> 8);
}

void Uyvy(const uint8_t* src, uint8_t* dst, size_t pairs) {
  for (size_t i = 0; i < pairs; ++i, src += 4, dst += 6) {
    Bt601(src[1], src[0], src[2], dst);
    Bt601(src[3], src[0], src[2], dst + 3);
  }
}

void I420Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, size_t width) {
  for (size_t x = 0; x < width; ++x) Bt601(y[x], u[x / 2], v[x / 2], dst + 3 * x);
}

void I420RowPair(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* dst0,
                 uint8_t* dst1, size_t width) {
  I420Row(y0, u, v, dst0, width);
  I420Row(y1, u, v, dst1, width);
}

// One product of the inverse DCT: (acc + 2 x k + 32768) >> s, where a sum
// whose low 16 bits are zero (an exact half) gets bit 16 cleared first, so
// that ties round to even. x is a 16-bit value and k below 2^15, so the sum
// fits in 32 bits.
inline int32_t P(int32_t acc, int32_t x, int32_t k, int s) {
  int32_t sum = acc + 2 * x * k + 32768;
  if ((sum & 0xFFFF) == 0) sum &= ~0x10000;
  return sum >> s;
}

// Every value between products is a 16-bit lane: sums wrap.
inline int32_t W16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

void Idct1d(const int16_t* in, ptrdiff_t instep, int16_t* out, ptrdiff_t outstep, bool doubled) {
  int32_t r[8];
  for (int i = 0; i < 8; ++i) r[i] = doubled ? W16(2 * in[i * instep]) : in[i * instep];
  const int32_t z1 = P(0, W16(r[2] + r[6]), 4433, 0);
  const int32_t t3 = W16(P(z1, r[2], 6270, 16));
  const int32_t t2 = W16((z1 >> 16) - P(0, r[6], 15137, 16));
  const int32_t t0 = P(0, W16(r[0] + r[4]), 8192, 16);
  const int32_t t1 = P(0, W16(r[0] - r[4]), 8192, 16);
  const int32_t e10 = W16(t0 + t3), e13 = W16(t0 - t3), e11 = W16(t1 + t2), e12 = W16(t1 - t2);

  const int32_t z5 = P(0, W16(r[1] + r[3] + r[5] + r[7]), 9633, 16);
  const int32_t y1 = P(0, W16(r[1] + r[7]), -7373, 16);
  const int32_t y2 = P(0, W16(r[3] + r[5]), -20995, 16);
  const int32_t y3 = P(0, W16(r[3] + r[7]), -16069, 16);
  const int32_t y4 = P(0, W16(r[1] + r[5]), -3196, 16);
  const int32_t o0 = W16(P(0, r[7], 2446, 16) + y1 + y3 + z5);
  const int32_t o1 = W16(P(0, r[5], 16819, 16) + y2 + y4 + z5);
  const int32_t o2 = W16(P(0, r[3], 25172, 16) + y2 + y3 + z5);
  const int32_t o3 = W16(P(0, r[1], 12299, 16) + y1 + y4 + z5);

  const int32_t o[8] = {e10 + o3, e11 + o2, e12 + o1, e13 + o0,
                        e13 - o0, e12 - o1, e11 - o2, e10 - o3};
  for (int i = 0; i < 8; ++i) out[i * outstep] = static_cast<int16_t>(W16(o[i]));
}

void IdctBlocks(const int16_t* blocks, size_t count, uint8_t* out, ptrdiff_t stride) {
  for (size_t b = 0; b < count; ++b, blocks += 64, out += 8) {
    int16_t cols[64], rows[64];
    for (int c = 0; c < 8; ++c) Idct1d(blocks + c, 8, cols + c, 8, true);
    for (int r = 0; r < 8; ++r) Idct1d(cols + 8 * r, 1, rows + 8 * r, 1, false);
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c) out[r * stride + c] = Clamp255(rows[8 * r + c] + 128);
  }
}

inline void Ycc(int y, int cb, int cr, uint8_t* dst) {
  dst[0] = Clamp255(y + kBlueFromCb[cb]);
  dst[1] = Clamp255(y + kGreenFromCb[cb] + kGreenFromCr[cr]);
  dst[2] = Clamp255(y + kRedFromCr[cr]);
}

void Color444(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst, size_t n) {
  for (size_t x = 0; x < n; ++x) Ycc(y[x], cb[x], cr[x], dst + 3 * x);
}

void ColorH2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst, size_t n) {
  for (size_t x = 0; x < n; ++x) Ycc(y[x], cb[x / 2], cr[x / 2], dst + 3 * x);
}

void ColorH2Pair(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr, uint8_t* dst0,
                 uint8_t* dst1, size_t n) {
  ColorH2(y0, cb, cr, dst0, n);
  ColorH2(y1, cb, cr, dst1, n);
}

void Grey(const uint8_t* y, uint8_t* dst, size_t n) {
  for (size_t x = 0; x < n; ++x) dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = y[x];
}

void Split3(const uint8_t* bgr, uint8_t* b, uint8_t* g, uint8_t* r, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    b[i] = bgr[3 * i];
    g[i] = bgr[3 * i + 1];
    r[i] = bgr[3 * i + 2];
  }
}

void Merge3(const uint8_t* b, const uint8_t* g, const uint8_t* r, uint8_t* bgr, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    bgr[3 * i] = b[i];
    bgr[3 * i + 1] = g[i];
    bgr[3 * i + 2] = r[i];
  }
}

}  // namespace

// Horizontal cubic pass, also the tail of the SIMD versions.
void HorizontalScalar(const uint8_t* src, uint8_t* dst, const HorizontalPlan& plan, size_t from) {
  for (size_t x = from; x < plan.targetWidth; ++x) {
    const uint8_t* s = src + plan.ix[x];
    const int16_t* w = CubicWeights(plan.px[x]);
    dst[x] = Clamp255((w[0] * s[0] + w[1] * s[1] + w[2] * s[2] + w[3] * s[3] + 64) >> 6);
  }
}

void VerticalScalar(const uint8_t* r0, const uint8_t* r1, const uint8_t* r2, const uint8_t* r3,
                    const int16_t* w, uint8_t* dst, size_t from, size_t n) {
  for (size_t i = from; i < n; ++i)
    dst[i] = Clamp255((w[0] * r0[i] + w[1] * r1[i] + w[2] * r2[i] + w[3] * r3[i] + 64) >> 6);
}

namespace {
void Horizontal(const uint8_t* src, uint8_t* dst, const HorizontalPlan& plan) {
  HorizontalScalar(src, dst, plan, 0);
}
void Vertical(const uint8_t* r0, const uint8_t* r1, const uint8_t* r2, const uint8_t* r3,
              const int16_t* w, uint8_t* dst, size_t n) {
  VerticalScalar(r0, r1, r2, r3, w, dst, 0, n);
}
}  // namespace


const Kernels& ScalarKernels() {
  static const Kernels k = {Yuy2,     Uyvy,  I420Row, IdctBlocks, Color444,   ColorH2,
                            Grey,     Split3, Merge3,  Horizontal, Vertical, I420RowPair,
                            ColorH2Pair};
  return k;
}

}  // namespace z9::img
