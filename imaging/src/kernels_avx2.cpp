// AVX2 kernels: sixteen 16-bit lanes in two 128-bit halves, byte shuffles
// for the picture layouts. Built with -mavx2; chosen at run time when the
// processor and the system support AVX2.
#include <immintrin.h>

#include <cstring>

#include "kernels.h"

namespace z9::img {
namespace {

using V = __m256i;
using H = __m128i;

template <typename T> inline T zero();
template <> inline V zero<V>() { return _mm256_setzero_si256(); }
template <> inline H zero<H>() { return _mm_setzero_si128(); }
template <typename T> inline T set16(int16_t v);
template <> inline V set16<V>(int16_t v) { return _mm256_set1_epi16(v); }
template <> inline H set16<H>(int16_t v) { return _mm_set1_epi16(v); }
template <typename T> inline T set32(int32_t v);
template <> inline V set32<V>(int32_t v) { return _mm256_set1_epi32(v); }
template <> inline H set32<H>(int32_t v) { return _mm_set1_epi32(v); }

#define Z9_OPS(T, P, S)                                                      \
  [[maybe_unused]] inline T add16(T a, T b) { return P##_add_epi16(a, b); }                  \
  [[maybe_unused]] inline T adds16(T a, T b) { return P##_adds_epi16(a, b); }                \
  [[maybe_unused]] inline T sub16(T a, T b) { return P##_sub_epi16(a, b); }                  \
  [[maybe_unused]] inline T mullo16(T a, T b) { return P##_mullo_epi16(a, b); }              \
  [[maybe_unused]] inline T mulhi16(T a, T b) { return P##_mulhi_epi16(a, b); }              \
  [[maybe_unused]] inline T srai16(T a, int n) { return P##_srai_epi16(a, n); }              \
  [[maybe_unused]] inline T srli16(T a, int n) { return P##_srli_epi16(a, n); }              \
  [[maybe_unused]] inline T slli16(T a, int n) { return P##_slli_epi16(a, n); }              \
  [[maybe_unused]] inline T srai32(T a, int n) { return P##_srai_epi32(a, n); }              \
  [[maybe_unused]] inline T and_(T a, T b) { return P##_and_##S(a, b); }                     \
  [[maybe_unused]] inline T xor_(T a, T b) { return P##_xor_##S(a, b); }                     \
  [[maybe_unused]] inline T cmpeq16(T a, T b) { return P##_cmpeq_epi16(a, b); }              \
  [[maybe_unused]] inline T madd(T a, T b) { return P##_madd_epi16(a, b); }                  \
  [[maybe_unused]] inline T packs32(T a, T b) { return P##_packs_epi32(a, b); }              \
  [[maybe_unused]] inline T packus16(T a, T b) { return P##_packus_epi16(a, b); }            \
  [[maybe_unused]] inline T unpacklo8(T a, T b) { return P##_unpacklo_epi8(a, b); }          \
  [[maybe_unused]] inline T unpackhi8(T a, T b) { return P##_unpackhi_epi8(a, b); }          \
  [[maybe_unused]] inline T unpacklo16(T a, T b) { return P##_unpacklo_epi16(a, b); }        \
  [[maybe_unused]] inline T unpackhi16(T a, T b) { return P##_unpackhi_epi16(a, b); }        \
  [[maybe_unused]] inline T unpacklo32(T a, T b) { return P##_unpacklo_epi32(a, b); }        \
  [[maybe_unused]] inline T unpackhi32(T a, T b) { return P##_unpackhi_epi32(a, b); }        \
  [[maybe_unused]] inline T unpacklo64(T a, T b) { return P##_unpacklo_epi64(a, b); }        \
  [[maybe_unused]] inline T unpackhi64(T a, T b) { return P##_unpackhi_epi64(a, b); }
Z9_OPS(V, _mm256, si256)
Z9_OPS(H, _mm, si128)
#undef Z9_OPS

#include "simd_common.inl"

inline V Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
inline H Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const H*>(p)); }
inline V Load2(const uint8_t* lo, const uint8_t* hi) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(Load16(lo)), Load16(hi), 1);
}
inline void Store(uint8_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
// Halves packed per lane back to the order of the bytes they came from.
inline V InOrder(V v) { return _mm256_permute4x64_epi64(v, _MM_SHUFFLE(3, 1, 2, 0)); }

// Byte shuffles between 16 pixels of three planes and 48 bytes
// blue-green-red: output register k takes byte i from plane c = (16k+i) % 3.
struct Shuffles {
  alignas(16) uint8_t merge[3][3][16];  // [register][plane]
  alignas(16) uint8_t split[3][3][16];  // [plane][register]
  Shuffles() {
    for (int k = 0; k < 3; ++k)
      for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 16; ++i) {
          const int j = 16 * k + i;
          merge[k][c][i] = (j % 3 == c) ? static_cast<uint8_t>(j / 3) : 0x80;
          const int src = 3 * i + c;  // byte of pixel i, plane c
          split[c][k][i] = (src / 16 == k) ? static_cast<uint8_t>(src % 16) : 0x80;
        }
  }
};
const Shuffles& Shuf() {
  static const Shuffles s;
  return s;
}

inline H M(const uint8_t* m) { return _mm_load_si128(reinterpret_cast<const H*>(m)); }

inline void StoreBgr16(uint8_t* dst, H b, H g, H r) {
  const Shuffles& s = Shuf();
  for (int k = 0; k < 3; ++k) {
    const H o = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, M(s.merge[k][0])),
                                          _mm_shuffle_epi8(g, M(s.merge[k][1]))),
                             _mm_shuffle_epi8(r, M(s.merge[k][2])));
    _mm_storeu_si128(reinterpret_cast<H*>(dst + 16 * k), o);
  }
}

// 32 pixels given in order.
inline void StoreBgr(uint8_t* dst, V b, V g, V r) {
  StoreBgr16(dst, _mm256_castsi256_si128(b), _mm256_castsi256_si128(g), _mm256_castsi256_si128(r));
  StoreBgr16(dst + 48, _mm256_extracti128_si256(b, 1), _mm256_extracti128_si256(g, 1),
             _mm256_extracti128_si256(r, 1));
}

void Yuy2(const uint8_t* src, uint8_t* dst, size_t pairs) {
  const V lowByte = _mm256_set1_epi16(0x00FF);
  size_t i = 0;
  for (; i + 16 <= pairs; i += 16, src += 64, dst += 96) {
    const V a = Load(src), b = Load(src + 32);
    const V y = packus16(and_(a, lowByte), and_(b, lowByte));
    const V uvb = packus16(srli16(a, 8), srli16(b, 8));
    const V u = and_(uvb, lowByte), v = srli16(uvb, 8);
    V bl, gl, rl, bh, gh, rh;
    Yuy2Pixels(unpacklo8(y, zero<V>()), unpacklo16(u, u), unpacklo16(v, v), &bl, &gl, &rl);
    Yuy2Pixels(unpackhi8(y, zero<V>()), unpackhi16(u, u), unpackhi16(v, v), &bh, &gh, &rh);
    StoreBgr(dst, InOrder(packus16(bl, bh)), InOrder(packus16(gl, gh)), InOrder(packus16(rl, rh)));
  }
  Sse2Kernels()->yuy2(src, dst, pairs - i);
}

void Uyvy(const uint8_t* src, uint8_t* dst, size_t pairs) {
  const V lowByte = _mm256_set1_epi16(0x00FF);
  size_t i = 0;
  for (; i + 16 <= pairs; i += 16, src += 64, dst += 96) {
    const V a = Load(src), b = Load(src + 32);
    const V y = packus16(srli16(a, 8), srli16(b, 8));
    const V uvb = packus16(and_(a, lowByte), and_(b, lowByte));
    const V u = and_(uvb, lowByte), v = srli16(uvb, 8);
    V bl, gl, rl, bh, gh, rh;
    Bt601(unpacklo8(y, zero<V>()), unpacklo16(u, u), unpacklo16(v, v), &bl, &gl, &rl);
    Bt601(unpackhi8(y, zero<V>()), unpackhi16(u, u), unpackhi16(v, v), &bh, &gh, &rh);
    StoreBgr(dst, InOrder(packus16(bl, bh)), InOrder(packus16(gl, gh)), InOrder(packus16(rl, rh)));
  }
  Sse2Kernels()->uyvy(src, dst, pairs - i);
}

// 16 chroma bytes widened to lanes in order: c0..c7 | c8..c15; doubling
// each (unpack with itself) then matches luma unpacked per lane.
inline V Widen(const uint8_t* p) { return _mm256_cvtepu8_epi16(Load16(p)); }

void I420Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, size_t width) {
  size_t x = 0;
  for (; x + 32 <= width; x += 32) {
    const V yy = Load(y + x), uu = Widen(u + x / 2), vv = Widen(v + x / 2);
    V bl, gl, rl, bh, gh, rh;
    Bt601(unpacklo8(yy, zero<V>()), unpacklo16(uu, uu), unpacklo16(vv, vv), &bl, &gl, &rl);
    Bt601(unpackhi8(yy, zero<V>()), unpackhi16(uu, uu), unpackhi16(vv, vv), &bh, &gh, &rh);
    StoreBgr(dst + 3 * x, packus16(bl, bh), packus16(gl, gh), packus16(rl, rh));
  }
  Sse2Kernels()->i420Row(y + x, u + x / 2, v + x / 2, dst + 3 * x, width - x);
}

// Two horizontally adjacent blocks, one per 128-bit half.
void IdctPair(const int16_t* a, uint8_t* out, ptrdiff_t stride) {
  V r[8];
  for (int i = 0; i < 8; ++i)
    r[i] = Load2(reinterpret_cast<const uint8_t*>(a + 8 * i), reinterpret_cast<const uint8_t*>(a + 64 + 8 * i));
  Transform(r);
  for (int i = 0; i < 8; i += 2) {
    const V p = InOrder(packus16(r[i], r[i + 1]));  // rows i, i + 1 of both blocks
    _mm_storeu_si128(reinterpret_cast<H*>(out + i * stride), _mm256_castsi256_si128(p));
    _mm_storeu_si128(reinterpret_cast<H*>(out + (i + 1) * stride), _mm256_extracti128_si256(p, 1));
  }
}

void IdctBlocks(const int16_t* blocks, size_t count, uint8_t* out, ptrdiff_t stride) {
  size_t b = 0;
  while (b < count) {
    const int16_t* blk = blocks + 64 * b;
    if (DcOnly(blk)) {
      FillFlat(out + 8 * b, stride, blk[0]);
      ++b;
    } else if (b + 1 < count && !DcOnly(blk + 64)) {
      IdctPair(blk, out + 8 * b, stride);
      b += 2;
    } else {
      IdctOne(blk, out + 8 * b, stride);
      ++b;
    }
  }
}

inline void ColorStore(uint8_t* dst, V yy, const V* tl, const V* th) {
  V bl, gl, rl, bh, gh, rh;
  Ycc(unpacklo8(yy, zero<V>()), tl[0], tl[1], tl[2], tl[3], &bl, &gl, &rl);
  Ycc(unpackhi8(yy, zero<V>()), th[0], th[1], th[2], th[3], &bh, &gh, &rh);
  StoreBgr(dst, packus16(bl, bh), packus16(gl, gh), packus16(rl, rh));
}

void Color444(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst, size_t n) {
  size_t x = 0;
  for (; x + 32 <= n; x += 32) {
    const V b = Load(cb + x), r = Load(cr + x);
    V tl[4], th[4];
    ChromaTerms(unpacklo8(b, zero<V>()), kBlueCb, kGreenCb, &tl[0], &tl[1]);
    ChromaTerms(unpacklo8(r, zero<V>()), kGreenCr, kRedCr, &tl[2], &tl[3]);
    ChromaTerms(unpackhi8(b, zero<V>()), kBlueCb, kGreenCb, &th[0], &th[1]);
    ChromaTerms(unpackhi8(r, zero<V>()), kGreenCr, kRedCr, &th[2], &th[3]);
    ColorStore(dst + 3 * x, Load(y + x), tl, th);
  }
  Sse2Kernels()->color444(y + x, cb + x, cr + x, dst + 3 * x, n - x);
}

void ColorH2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst, size_t n) {
  size_t x = 0;
  for (; x + 32 <= n; x += 32) {
    V t[4];
    ChromaTerms(Widen(cb + x / 2), kBlueCb, kGreenCb, &t[0], &t[1]);
    ChromaTerms(Widen(cr + x / 2), kGreenCr, kRedCr, &t[2], &t[3]);
    V tl[4], th[4];
    for (int i = 0; i < 4; ++i) {
      tl[i] = unpacklo16(t[i], t[i]);
      th[i] = unpackhi16(t[i], t[i]);
    }
    ColorStore(dst + 3 * x, Load(y + x), tl, th);
  }
  Sse2Kernels()->colorH2(y + x, cb + x / 2, cr + x / 2, dst + 3 * x, n - x);
}

void Grey(const uint8_t* y, uint8_t* dst, size_t n) {
  size_t x = 0;
  for (; x + 32 <= n; x += 32) {
    const V v = Load(y + x);
    StoreBgr(dst + 3 * x, v, v, v);
  }
  Sse2Kernels()->grey(y + x, dst + 3 * x, n - x);
}

void Split3(const uint8_t* bgr, uint8_t* b, uint8_t* g, uint8_t* r, size_t n) {
  const Shuffles& s = Shuf();
  uint8_t* planes[3] = {b, g, r};
  size_t x = 0;
  for (; x + 16 <= n; x += 16) {
    const H in[3] = {Load16(bgr + 3 * x), Load16(bgr + 3 * x + 16), Load16(bgr + 3 * x + 32)};
    for (int c = 0; c < 3; ++c) {
      const H o = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(in[0], M(s.split[c][0])),
                                            _mm_shuffle_epi8(in[1], M(s.split[c][1]))),
                               _mm_shuffle_epi8(in[2], M(s.split[c][2])));
      _mm_storeu_si128(reinterpret_cast<H*>(planes[c] + x), o);
    }
  }
  ScalarKernels().split3(bgr + 3 * x, b + x, g + x, r + x, n - x);
}

void Merge3(const uint8_t* b, const uint8_t* g, const uint8_t* r, uint8_t* bgr, size_t n) {
  size_t x = 0;
  for (; x + 16 <= n; x += 16) StoreBgr16(bgr + 3 * x, Load16(b + x), Load16(g + x), Load16(r + x));
  ScalarKernels().merge3(b + x, g + x, r + x, bgr + 3 * x, n - x);
}

// Groups of 8 target columns whose taps lie within 16 source bytes: one
// shuffle per tap pair, one multiply-add of bytes, two groups per register.
void Horizontal(const uint8_t* src, uint8_t* dst, const HorizontalPlan& p) {
  if (!p.groupShuffle) {
    Sse2Kernels()->horizontal(src, dst, p);
    return;
  }
  size_t g = 0;
  const V bias = _mm256_set1_epi16(64);
  for (; g + 2 <= p.groups; g += 2) {
    const V in = Load2(src + p.groupBase[g], src + p.groupBase[g + 1]);
    const uint8_t* sh = p.groupShuffle + 32 * g;
    const uint8_t* wt = reinterpret_cast<const uint8_t*>(p.groupWeights + 32 * g);
    const V s01 = _mm256_shuffle_epi8(in, Load2(sh, sh + 32));
    const V s23 = _mm256_shuffle_epi8(in, Load2(sh + 16, sh + 48));
    const V m = _mm256_add_epi16(_mm256_maddubs_epi16(s01, Load2(wt, wt + 32)),
                                 _mm256_maddubs_epi16(s23, Load2(wt + 16, wt + 48)));
    const V v = _mm256_srai_epi16(_mm256_add_epi16(m, bias), 6);
    const V packed = InOrder(_mm256_packus_epi16(v, v));
    _mm_storeu_si128(reinterpret_cast<H*>(dst + 8 * g), _mm256_castsi256_si128(packed));
  }
  HorizontalScalar(src, dst, p, 8 * g);
}

void Vertical(const uint8_t* r0, const uint8_t* r1, const uint8_t* r2, const uint8_t* r3,
              const int16_t* w, uint8_t* dst, size_t n) {
  size_t i = 0;
  for (; i + 32 <= n; i += 32) Store(dst + i, Vertical4(Load(r0 + i), Load(r1 + i), Load(r2 + i), Load(r3 + i), w));
  Sse2Kernels()->vertical(r0 + i, r1 + i, r2 + i, r3 + i, w, dst + i, n - i);
}

}  // namespace

const Kernels* Avx2Kernels() {
  static const Kernels k = {Yuy2,     Uyvy,   I420Row, IdctBlocks, Color444,   ColorH2,
                            Grey,     Split3, Merge3,  Horizontal, Vertical};
  return &k;
}

}  // namespace z9::img
