// SSE2 kernels: eight 16-bit lanes. Built with -msse2 alone; chosen at run
// time when the processor has SSE2.
#include <emmintrin.h>

#include <cstring>

#include "kernels.h"

namespace z9::img {
namespace {

using V = __m128i;

inline V zeroV() { return _mm_setzero_si128(); }
template <typename T> inline T zero();
template <> inline V zero<V>() { return _mm_setzero_si128(); }
template <typename T> inline T set16(int16_t v);
template <> inline V set16<V>(int16_t v) { return _mm_set1_epi16(v); }
template <typename T> inline T set32(int32_t v);
template <> inline V set32<V>(int32_t v) { return _mm_set1_epi32(v); }
inline V add16(V a, V b) { return _mm_add_epi16(a, b); }
inline V adds16(V a, V b) { return _mm_adds_epi16(a, b); }
inline V sub16(V a, V b) { return _mm_sub_epi16(a, b); }
inline V mullo16(V a, V b) { return _mm_mullo_epi16(a, b); }
inline V mulhiu16(V a, V b) { return _mm_mulhi_epu16(a, b); }
inline V srai16(V a, int n) { return _mm_srai_epi16(a, n); }
inline V srli16(V a, int n) { return _mm_srli_epi16(a, n); }
inline V slli16(V a, int n) { return _mm_slli_epi16(a, n); }
inline V srai32(V a, int n) { return _mm_srai_epi32(a, n); }
inline V and_(V a, V b) { return _mm_and_si128(a, b); }
inline V xor_(V a, V b) { return _mm_xor_si128(a, b); }
inline V cmpeq16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
inline V madd(V a, V b) { return _mm_madd_epi16(a, b); }
inline V packs32(V a, V b) { return _mm_packs_epi32(a, b); }
inline V packus16(V a, V b) { return _mm_packus_epi16(a, b); }
inline V unpacklo8(V a, V b) { return _mm_unpacklo_epi8(a, b); }
inline V unpackhi8(V a, V b) { return _mm_unpackhi_epi8(a, b); }
inline V unpacklo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
inline V unpackhi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
inline V unpacklo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
inline V unpackhi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
inline V unpacklo64(V a, V b) { return _mm_unpacklo_epi64(a, b); }
inline V unpackhi64(V a, V b) { return _mm_unpackhi_epi64(a, b); }

// (2 x k + 32768) >> 16, rounded half up, for 16-bit x and k. With 2 k in
// 16 bits, the high half of x (2 k) plus bit 15 of its low half; otherwise
// from x k: 2 hi + ((lo >> 14) + 1) >> 1 (lo unsigned).
inline V MulRound(V x, int k) {
  if (k >= -16384 && k < 16384) {
    const V k2 = _mm_set1_epi16(static_cast<int16_t>(2 * k));
    return _mm_add_epi16(_mm_mulhi_epi16(x, k2), _mm_srli_epi16(_mm_mullo_epi16(x, k2), 15));
  }
  const V kk = _mm_set1_epi16(static_cast<int16_t>(k));
  const V lo = _mm_mullo_epi16(x, kk), hi = _mm_mulhi_epi16(x, kk);
  return _mm_add_epi16(_mm_add_epi16(hi, hi),
                       _mm_srli_epi16(_mm_add_epi16(_mm_srli_epi16(lo, 14), _mm_set1_epi16(1)), 1));
}

// The same with ties to even (see Product in simd_common.inl), from the
// product 2 x k itself: with hi and lo its high and low halves, the sum
// 2 x k + 32768 shifted is hi + (lo >> 15), and a tie is lo = 0x8000, where
// the result must come out even: hi + (hi & 1). For |k| >= 16384, 2 k wraps
// in 16 bits by 2^16, which moves the high half by x: put back.
inline V MulRoundEven(V x, int k) {
  const V k2 = _mm_set1_epi16(static_cast<int16_t>(2 * k));
  V hi = _mm_mulhi_epi16(x, k2);
  if (k >= 16384)
    hi = _mm_add_epi16(hi, x);
  else if (k < -16384)
    hi = _mm_sub_epi16(hi, x);
  const V lo = _mm_mullo_epi16(x, k2);
  const V tie = _mm_cmpeq_epi16(lo, _mm_set1_epi16(static_cast<int16_t>(0x8000)));
  // Bit 0: the carry lo >> 15, except at a tie with hi even.
  return _mm_add_epi16(hi, _mm_andnot_si128(_mm_andnot_si128(hi, tie), _mm_srli_epi16(lo, 15)));
}

#include "simd_common.inl"

inline V Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
inline V Load8(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const V*>(p)); }

// 16 pixels of blue, green and red bytes to 48 bytes blue-green-red: four
// registers of four 4-byte pixels, each 64-bit half packed to two 3-byte
// pixels (6 bytes) and stored with 8-byte stores 6 bytes apart, each store's
// two spare bytes overwritten by the next. The last register is packed to
// 12 bytes and stored exactly, so that nothing is written past the 48.
inline void StoreBgr(uint8_t* dst, V b, V g, V r) {
  const V z = zeroV();
  const V bgl = _mm_unpacklo_epi8(b, g), bgh = _mm_unpackhi_epi8(b, g);
  const V rzl = _mm_unpacklo_epi8(r, z), rzh = _mm_unpackhi_epi8(r, z);
  V px[4] = {_mm_unpacklo_epi16(bgl, rzl), _mm_unpackhi_epi16(bgl, rzl),
             _mm_unpacklo_epi16(bgh, rzh), _mm_unpackhi_epi16(bgh, rzh)};
  const V m0 = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const V m1 = _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000), 0x0000FFFF,
                             static_cast<int>(0xFF000000));
  for (int i = 0; i < 4; ++i)
    px[i] = _mm_or_si128(_mm_and_si128(px[i], m0), _mm_and_si128(_mm_srli_epi64(px[i], 8), m1));
  for (int i = 0; i < 3; ++i) {
    _mm_storel_epi64(reinterpret_cast<V*>(dst + 12 * i), px[i]);
    _mm_storeh_pd(reinterpret_cast<double*>(dst + 12 * i + 6), _mm_castsi128_pd(px[i]));
  }
  const V lowq = _mm_set_epi32(0, 0, -1, -1);
  const V last = _mm_or_si128(_mm_and_si128(px[3], lowq), _mm_slli_si128(_mm_srli_si128(px[3], 8), 6));
  _mm_storel_epi64(reinterpret_cast<V*>(dst + 36), last);
  const int tail = _mm_cvtsi128_si32(_mm_srli_si128(last, 8));
  std::memcpy(dst + 44, &tail, 4);
}

inline void StoreHalves(uint8_t* dst, V bl, V bh, V gl, V gh, V rl, V rh) {
  StoreBgr(dst, packus16(bl, bh), packus16(gl, gh), packus16(rl, rh));
}

void Yuy2(const uint8_t* src, uint8_t* dst, size_t pairs) {
  const V lowByte = _mm_set1_epi16(0x00FF);
  size_t i = 0;
  for (; i + 8 <= pairs; i += 8, src += 32, dst += 48) {
    const V a = Load(src), b = Load(src + 16);
    const V y = packus16(and_(a, lowByte), and_(b, lowByte));
    const V uvb = packus16(srli16(a, 8), srli16(b, 8));
    const V u = and_(uvb, lowByte), v = srli16(uvb, 8);
    V bl, gl, rl, bh, gh, rh;
    Yuy2Pixels(unpacklo8(y, zeroV()), unpacklo16(u, u), unpacklo16(v, v), &bl, &gl, &rl);
    Yuy2Pixels(unpackhi8(y, zeroV()), unpackhi16(u, u), unpackhi16(v, v), &bh, &gh, &rh);
    StoreHalves(dst, bl, bh, gl, gh, rl, rh);
  }
  ScalarKernels().yuy2(src, dst, pairs - i);
}

void Uyvy(const uint8_t* src, uint8_t* dst, size_t pairs) {
  const V lowByte = _mm_set1_epi16(0x00FF);
  size_t i = 0;
  for (; i + 8 <= pairs; i += 8, src += 32, dst += 48) {
    const V a = Load(src), b = Load(src + 16);
    const V y = packus16(srli16(a, 8), srli16(b, 8));
    const V uvb = packus16(and_(a, lowByte), and_(b, lowByte));
    const V u = and_(uvb, lowByte), v = srli16(uvb, 8);
    V bl, gl, rl, bh, gh, rh;
    Bt601(unpacklo8(y, zeroV()), unpacklo16(u, u), unpacklo16(v, v), &bl, &gl, &rl);
    Bt601(unpackhi8(y, zeroV()), unpackhi16(u, u), unpackhi16(v, v), &bh, &gh, &rh);
    StoreHalves(dst, bl, bh, gl, gh, rl, rh);
  }
  ScalarKernels().uyvy(src, dst, pairs - i);
}

void I420Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, size_t width) {
  size_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const V yy = Load(y + x);
    const V uu = unpacklo8(Load8(u + x / 2), zeroV()), vv = unpacklo8(Load8(v + x / 2), zeroV());
    V bl, gl, rl, bh, gh, rh;
    Bt601(unpacklo8(yy, zeroV()), unpacklo16(uu, uu), unpacklo16(vv, vv), &bl, &gl, &rl);
    Bt601(unpackhi8(yy, zeroV()), unpackhi16(uu, uu), unpackhi16(vv, vv), &bh, &gh, &rh);
    StoreHalves(dst + 3 * x, bl, bh, gl, gh, rl, rh);
  }
  ScalarKernels().i420Row(y + x, u + x / 2, v + x / 2, dst + 3 * x, width - x);
}

void I420RowPair(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* dst0,
                 uint8_t* dst1, size_t width) {
  I420Row(y0, u, v, dst0, width);
  I420Row(y1, u, v, dst1, width);
}

void IdctBlocks(const int16_t* blocks, size_t count, uint8_t* out, ptrdiff_t stride) {
  for (size_t b = 0; b < count; ++b) IdctOne(blocks + 64 * b, out + 8 * b, stride);
}

// Colour of 16 pixels whose chroma terms are given per pixel (lo, hi halves).
inline void ColorStore(uint8_t* dst, V yy, const V* tl, const V* th) {
  V bl, gl, rl, bh, gh, rh;
  Ycc(unpacklo8(yy, zeroV()), tl[0], tl[1], tl[2], tl[3], &bl, &gl, &rl);
  Ycc(unpackhi8(yy, zeroV()), th[0], th[1], th[2], th[3], &bh, &gh, &rh);
  StoreHalves(dst, bl, bh, gl, gh, rl, rh);
}

void Color444(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst, size_t n) {
  size_t x = 0;
  for (; x + 16 <= n; x += 16) {
    const V b = Load(cb + x), r = Load(cr + x);
    V tl[4], th[4];  // blue-from-Cb, green-from-Cb, green-from-Cr, red-from-Cr
    ChromaTerms(unpacklo8(b, zeroV()), kBlueCb, kGreenCb, &tl[0], &tl[1]);
    ChromaTerms(unpacklo8(r, zeroV()), kGreenCr, kRedCr, &tl[2], &tl[3]);
    ChromaTerms(unpackhi8(b, zeroV()), kBlueCb, kGreenCb, &th[0], &th[1]);
    ChromaTerms(unpackhi8(r, zeroV()), kGreenCr, kRedCr, &th[2], &th[3]);
    ColorStore(dst + 3 * x, Load(y + x), tl, th);
  }
  ScalarKernels().color444(y + x, cb + x, cr + x, dst + 3 * x, n - x);
}

// Chroma terms of 16 pixels from their 8 chroma samples (horizontally
// halved chroma), doubled to the pixels' lanes (lo, hi halves).
inline void H2Terms(const uint8_t* cb, const uint8_t* cr, V* tl, V* th) {
  V t[4];
  ChromaTerms(unpacklo8(Load8(cb), zeroV()), kBlueCb, kGreenCb, &t[0], &t[1]);
  ChromaTerms(unpacklo8(Load8(cr), zeroV()), kGreenCr, kRedCr, &t[2], &t[3]);
  for (int i = 0; i < 4; ++i) {
    tl[i] = unpacklo16(t[i], t[i]);
    th[i] = unpackhi16(t[i], t[i]);
  }
}

void ColorH2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst, size_t n) {
  size_t x = 0;
  for (; x + 16 <= n; x += 16) {
    V tl[4], th[4];
    H2Terms(cb + x / 2, cr + x / 2, tl, th);
    ColorStore(dst + 3 * x, Load(y + x), tl, th);
  }
  ScalarKernels().colorH2(y + x, cb + x / 2, cr + x / 2, dst + 3 * x, n - x);
}

// Both rows from one computation of the chroma terms.
void ColorH2Pair(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr, uint8_t* dst0,
                 uint8_t* dst1, size_t n) {
  size_t x = 0;
  for (; x + 16 <= n; x += 16) {
    V tl[4], th[4];
    H2Terms(cb + x / 2, cr + x / 2, tl, th);
    ColorStore(dst0 + 3 * x, Load(y0 + x), tl, th);
    ColorStore(dst1 + 3 * x, Load(y1 + x), tl, th);
  }
  ScalarKernels().colorH2Pair(y0 + x, y1 + x, cb + x / 2, cr + x / 2, dst0 + 3 * x, dst1 + 3 * x, n - x);
}

void Grey(const uint8_t* y, uint8_t* dst, size_t n) {
  size_t x = 0;
  for (; x + 16 <= n; x += 16) {
    const V v = Load(y + x);
    StoreBgr(dst + 3 * x, v, v, v);
  }
  ScalarKernels().grey(y + x, dst + 3 * x, n - x);
}

void Merge3(const uint8_t* b, const uint8_t* g, const uint8_t* r, uint8_t* bgr, size_t n) {
  size_t x = 0;
  for (; x + 16 <= n; x += 16) StoreBgr(bgr + 3 * x, Load(b + x), Load(g + x), Load(r + x));
  ScalarKernels().merge3(b + x, g + x, r + x, bgr + 3 * x, n - x);
}

inline V Load32(const uint8_t* p) {
  int v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

// Four target columns: the 4-byte tap groups side by side, one
// multiply-add per two columns, then the pairs of sums added.
inline V Horizontal4(const uint8_t* src, const HorizontalPlan& p, size_t x) {
  const V taps = _mm_unpacklo_epi64(_mm_unpacklo_epi32(Load32(src + p.ix[x]), Load32(src + p.ix[x + 1])),
                                    _mm_unpacklo_epi32(Load32(src + p.ix[x + 2]), Load32(src + p.ix[x + 3])));
  auto w = [&](size_t i) { return _mm_loadl_epi64(reinterpret_cast<const V*>(CubicWeights(p.px[i]))); };
  const V lo = _mm_madd_epi16(_mm_unpacklo_epi8(taps, zeroV()), _mm_unpacklo_epi64(w(x), w(x + 1)));
  const V hi = _mm_madd_epi16(_mm_unpackhi_epi8(taps, zeroV()), _mm_unpacklo_epi64(w(x + 2), w(x + 3)));
  const __m128 lf = _mm_castsi128_ps(lo), hf = _mm_castsi128_ps(hi);
  return _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(lf, hf, _MM_SHUFFLE(2, 0, 2, 0))),
                       _mm_castps_si128(_mm_shuffle_ps(lf, hf, _MM_SHUFFLE(3, 1, 3, 1))));
}

void Horizontal(const uint8_t* src, uint8_t* dst, const HorizontalPlan& p) {
  size_t x = 0;
  for (; x + 8 <= p.targetWidth; x += 8) {
    const V s = _mm_packs_epi32(Horizontal4(src, p, x), Horizontal4(src, p, x + 4));
    const V v = _mm_srai_epi16(_mm_add_epi16(s, _mm_set1_epi16(64)), 6);
    _mm_storel_epi64(reinterpret_cast<V*>(dst + x), _mm_packus_epi16(v, v));
  }
  HorizontalScalar(src, dst, p, x);
}

void Vertical(const uint8_t* r0, const uint8_t* r1, const uint8_t* r2, const uint8_t* r3,
              const int16_t* w, uint8_t* dst, size_t n) {
  size_t i = 0;
  for (; i + 16 <= n; i += 16)
    _mm_storeu_si128(reinterpret_cast<V*>(dst + i),
                     Vertical4(Load(r0 + i), Load(r1 + i), Load(r2 + i), Load(r3 + i), w));
  VerticalScalar(r0, r1, r2, r3, w, dst, i, n);
}

}  // namespace

const Kernels* Sse2Kernels() {
  static const Kernels k = {Yuy2, Uyvy, I420Row, IdctBlocks, Color444, ColorH2, Grey,
                            ScalarKernels().split3, Merge3, Horizontal, Vertical, I420RowPair, ColorH2Pair};
  return &k;
}

}  // namespace z9::img
