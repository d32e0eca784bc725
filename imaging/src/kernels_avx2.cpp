// AVX2 kernels: sixteen 16-bit lanes in two 128-bit halves, byte shuffles
// for the picture layouts. Built with -mavx2; chosen at run time when the
// processor and the system support AVX2.
#include <immintrin.h>

#include <cstring>

#include "kernels.h"

namespace z9::img {
namespace {

// The helpers below are forced inline into their loops, where their
// constants are loaded once per call of the kernel rather than per group.
#define Z9_INLINE inline __attribute__((always_inline))

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
  [[maybe_unused]] inline T mulhiu16(T a, T b) { return P##_mulhi_epu16(a, b); }             \
  [[maybe_unused]] inline T srai16(T a, int n) { return P##_srai_epi16(a, n); }              \
  [[maybe_unused]] inline T srli16(T a, int n) { return P##_srli_epi16(a, n); }              \
  [[maybe_unused]] inline T slli16(T a, int n) { return P##_slli_epi16(a, n); }              \
  [[maybe_unused]] inline T srai32(T a, int n) { return P##_srai_epi32(a, n); }              \
  [[maybe_unused]] inline T and_(T a, T b) { return P##_and_##S(a, b); }                     \
  [[maybe_unused]] inline T andnot_(T a, T b) { return P##_andnot_##S(a, b); }               \
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

// (2 x k + 32768) >> 16, rounded half up: the rounding high multiply gives
// exactly ((x k >> 14) + 1) >> 1.
inline V MulRound(V x, int k) { return _mm256_mulhrs_epi16(x, set16<V>(static_cast<int16_t>(k))); }
inline H MulRound(H x, int k) { return _mm_mulhrs_epi16(x, set16<H>(static_cast<int16_t>(k))); }

// The same with ties to even (see Product in simd_common.inl): a tie is a
// pattern of the low bits of x alone, k = 2^a m with m odd; a tie rounded up
// to an odd value loses its bit 0.
template <typename T>
inline T MulRoundEven(T x, int k) {
  const int a = __builtin_ctz(static_cast<unsigned>(k)) < 14 ? __builtin_ctz(static_cast<unsigned>(k)) : 14;
  const T tie = cmpeq16(and_(x, set16<T>(static_cast<int16_t>((1 << (15 - a)) - 1))),
                        set16<T>(static_cast<int16_t>(1 << (14 - a))));
  return andnot_(and_(tie, set16<T>(1)), MulRound(x, k));
}

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
  constexpr Shuffles() : merge(), split() {
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
// Constants built by the compiler: no guard on first use, and the selectors
// below are known where they are used.
constexpr Shuffles kShuffles;
inline const Shuffles& Shuf() { return kShuffles; }

inline H M(const uint8_t* m) { return _mm_load_si128(reinterpret_cast<const H*>(m)); }

Z9_INLINE void StoreBgr16(uint8_t* dst, H b, H g, H r) {
  const Shuffles& s = Shuf();
  for (int k = 0; k < 3; ++k) {
    const H o = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(b, M(s.merge[k][0])),
                                          _mm_shuffle_epi8(g, M(s.merge[k][1]))),
                             _mm_shuffle_epi8(r, M(s.merge[k][2])));
    _mm_storeu_si128(reinterpret_cast<H*>(dst + 16 * k), o);
  }
}

// 32 pixels given in order (0..15 in the low half, 16..31 in the high) to
// 96 bytes blue-green-red. Output byte j of a half is plane j % 3 of pixel
// j / 3: 16-byte register k of a half takes, per plane, one shuffle that
// puts the plane's bytes in their places and zeroes the rest, and the three
// are or-ed (cheaper than variable blends, which take several operations
// each on recent cores).
//
// With `split` the planes' halves hold the even pixels 0, 2, .. 14 first,
// then the odd ones (pixel p at byte 8 (p % 2) + p / 2): the shuffle takes
// them from there, so pairs need not be interleaved back before the store.
struct Interleave {
  alignas(32) uint8_t take[2][3][3][32];  // [split][register][plane]: source byte, 0x80 none
  constexpr Interleave() : take() {
    for (int split = 0; split < 2; ++split)
      for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 3; ++c)
          for (int i = 0; i < 32; ++i) {
            const int j = 16 * k + i % 16, p = j / 3;
            take[split][k][c][i] = j % 3 != c ? 0x80 : static_cast<uint8_t>(split ? 8 * (p % 2) + p / 2 : p);
          }
  }
};
constexpr Interleave kInterleave;
inline const Interleave& Inter() { return kInterleave; }

inline V A(const uint8_t* m) { return _mm256_load_si256(reinterpret_cast<const V*>(m)); }

Z9_INLINE void StoreBgr(uint8_t* dst, V b, V g, V r, bool split = false) {
  const Interleave& t = Inter();
  V o[3];
  for (int k = 0; k < 3; ++k) {
    const auto& m = t.take[split][k];
    o[k] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(b, A(m[0])), _mm256_shuffle_epi8(g, A(m[1]))),
                           _mm256_shuffle_epi8(r, A(m[2])));
  }
  // o[k] holds register k of both halves: bytes 16 k.. and 48 + 16 k.. .
  Store(dst, _mm256_permute2x128_si256(o[0], o[1], 0x20));
  Store(dst + 32, _mm256_permute2x128_si256(o[2], o[0], 0x30));
  Store(dst + 64, _mm256_permute2x128_si256(o[1], o[2], 0x31));
}

// 16 packed pairs as two registers whose halves are 4 pairs each in the
// order [0-3 | 8-11] and [4-7 | 12-15]: packing a byte of each 16-bit lane
// of both then gives pairs 0-7 in the low half and 8-15 in the high one, in
// order, and so do the sums per lane below.
Z9_INLINE void LoadPairs(const uint8_t* src, V* a, V* b) {
  *a = Load2(src, src + 32);
  *b = Load2(src + 16, src + 48);
}

// 4:2:2 packed, 6 fractional bits. With u = U - 128, v = V - 128 and
// y = 74 (Y - 16), blue = ((y + 129 u - 8192) >> 6) + 128, green =
// (y - 25 u - 52 v) >> 6, red = (y + 103 v) >> 6. Each bracket fits in 16
// bits (|bracket| < 2^15) though its parts may not: 74 Y and a per-pair
// chroma term that takes all the constants are added modulo 2^16 and the
// sum is the bracket exactly. Blue's + 128 comes from the signed pack:
// clamping b - 128 to -128..127 and flipping the top bit gives b clamped to
// 0..255.
Z9_INLINE void Yuy2Terms(V uvb, V* cb, V* cg, V* cr) {
  const V u = and_(uvb, set16<V>(0x00FF));
  // 129 U - 25888 = 129 u - 8192 - (74 x 16).
  *cb = sub16(add16(slli16(u, 7), u), set16<V>(25888));
  // 25 U + 52 V - 8672 = 25 u + 52 v + 74 x 16: subtracted.
  *cg = sub16(_mm256_maddubs_epi16(uvb, set16<V>(52 << 8 | 25)), set16<V>(8672));
  // 103 V - 14368 = 103 v - 74 x 16.
  *cr = sub16(_mm256_maddubs_epi16(uvb, set16<V>(103 << 8)), set16<V>(14368));
}

// 16 pixels, the even or the odd one of each pair: 74 Y per lane and the
// pair's chroma terms.
Z9_INLINE void Yuy2Rows(V y74, V cb, V cg, V cr, V* b, V* g, V* r) {
  *b = srai16(add16(y74, cb), 6);
  *g = srai16(sub16(y74, cg), 6);
  *r = srai16(add16(y74, cr), 6);
}

// Lumas and chromas of 16 pairs apart, as byte pairs in 16-bit lanes (pairs
// 0-7 | 8-15): `first` takes the low byte of each of the source's 16-bit
// lanes, `second` the high one.
Z9_INLINE void SplitPairs(V a, V b, V* first, V* second) {
  const V lowByte = set16<V>(0x00FF);
  *first = packus16(and_(a, lowByte), and_(b, lowByte));
  *second = packus16(srli16(a, 8), srli16(b, 8));
}

void Yuy2(const uint8_t* src, uint8_t* dst, size_t pairs) {
  const V evenWeight = set16<V>(74), oddWeight = set16<V>(74 << 8);  // bytes Y0, Y1
  const V flip = _mm256_set1_epi8(static_cast<char>(0x80));
  size_t i = 0;
  for (; i + 16 <= pairs; i += 16, src += 64, dst += 96) {
    V a, b, yb, uvb;
    LoadPairs(src, &a, &b);
    SplitPairs(a, b, &yb, &uvb);
    V cb, cg, cr;
    Yuy2Terms(uvb, &cb, &cg, &cr);
    V be, ge, re, bo, go, ro;
    Yuy2Rows(_mm256_maddubs_epi16(yb, evenWeight), cb, cg, cr, &be, &ge, &re);
    Yuy2Rows(_mm256_maddubs_epi16(yb, oddWeight), cb, cg, cr, &bo, &go, &ro);
    StoreBgr(dst, xor_(_mm256_packs_epi16(be, bo), flip), packus16(ge, go), packus16(re, ro), true);
  }
  Sse2Kernels()->yuy2(src, dst, pairs - i);
}

// BT.601 studio range, 8 fractional bits (see Bt601 in simd_common.inl):
// blue = Y + 2 u + ((42 Y + 4 u - 5152) >> 8) - 256 with u = U here, and
// likewise green and red. The chroma parts inside and outside the brackets
// depend on the pair only: computed once per pair from the bytes U, V of
// 16-bit lanes, then doubled to the pair's two pixels.
struct Bt601Terms {
  V in[3], out[3];  // blue, green, red
};

Z9_INLINE Bt601Terms Bt601Pairs(V uvb) {
  const V u = and_(uvb, set16<V>(0x00FF)), v = srli16(uvb, 8);
  Bt601Terms t;
  t.in[0] = sub16(slli16(u, 2), set16<V>(5152));
  t.out[0] = sub16(add16(u, u), set16<V>(256));
  // -100 U + 48 V from the byte pair, below 2^15 in size.
  t.in[1] = add16(_mm256_maddubs_epi16(uvb, set16<V>(48 << 8 | 0x9C)), set16<V>(2016));
  t.out[1] = sub16(set16<V>(128), v);
  // Red: 409 V - 56992 = 512 V - 103 V - 218 x 256 - 1184, so the bracket
  // takes -103 V - 1184 from the byte pair (one multiply-add, within 2^15
  // with 42 Y) and the rest is 2 V - 218 outside it.
  t.in[2] = sub16(_mm256_maddubs_epi16(uvb, set16<V>(static_cast<int16_t>(-103 * 256))), set16<V>(1184));
  t.out[2] = sub16(add16(v, v), set16<V>(218));
  return t;
}

// 16 pixels, the even or the odd one of each pair, of luma Y and 42 Y in
// 16-bit lanes: blue, green, red.
Z9_INLINE void Bt601Rows(V y, V y42, const Bt601Terms& t, V* bgr) {
  for (int c = 0; c < 3; ++c) bgr[c] = add16(add16(y, t.out[c]), srai16(add16(y42, t.in[c]), 8));
}

// 16 pairs: lumas as byte pairs in 16-bit lanes, the pairs' terms.
Z9_INLINE void Bt601Store(uint8_t* dst, V yb, const Bt601Terms& t) {
  const V ye = and_(yb, set16<V>(0x00FF)), yo = srli16(yb, 8);
  V e[3], o[3];
  Bt601Rows(ye, _mm256_maddubs_epi16(yb, set16<V>(42)), t, e);
  Bt601Rows(yo, _mm256_maddubs_epi16(yb, set16<V>(42 << 8)), t, o);
  StoreBgr(dst, packus16(e[0], o[0]), packus16(e[1], o[1]), packus16(e[2], o[2]), true);
}

void Uyvy(const uint8_t* src, uint8_t* dst, size_t pairs) {
  size_t i = 0;
  for (; i + 16 <= pairs; i += 16, src += 64, dst += 96) {
    V a, b, yb, uvb;
    LoadPairs(src, &a, &b);
    SplitPairs(a, b, &uvb, &yb);
    Bt601Store(dst, yb, Bt601Pairs(uvb));
  }
  Sse2Kernels()->uyvy(src, dst, pairs - i);
}

// 16 chroma pairs of I420 as byte pairs U, V in 16-bit lanes (0-7 | 8-15).
Z9_INLINE V ChromaPairs(const uint8_t* u, const uint8_t* v) {
  const H uu = Load16(u), vv = Load16(v);
  return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi8(uu, vv)), _mm_unpackhi_epi8(uu, vv), 1);
}

void I420Row(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, size_t width) {
  size_t x = 0;
  for (; x + 32 <= width; x += 32) Bt601Store(dst + 3 * x, Load(y + x), Bt601Pairs(ChromaPairs(u + x / 2, v + x / 2)));
  Sse2Kernels()->i420Row(y + x, u + x / 2, v + x / 2, dst + 3 * x, width - x);
}

// Both rows from one computation of the chroma terms.
void I420RowPair(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* dst0,
                 uint8_t* dst1, size_t width) {
  size_t x = 0;
  for (; x + 32 <= width; x += 32) {
    const Bt601Terms t = Bt601Pairs(ChromaPairs(u + x / 2, v + x / 2));
    Bt601Store(dst0 + 3 * x, Load(y0 + x), t);
    Bt601Store(dst1 + 3 * x, Load(y1 + x), t);
  }
  Sse2Kernels()->i420RowPair(y0 + x, y1 + x, u + x / 2, v + x / 2, dst0 + 3 * x, dst1 + 3 * x, width - x);
}

// 16 chroma bytes widened to lanes in order: c0..c7 | c8..c15; doubling
// each (unpack with itself) then matches luma unpacked per lane.
inline V Widen(const uint8_t* p) { return _mm256_cvtepu8_epi16(Load16(p)); }

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

Z9_INLINE void ColorStore(uint8_t* dst, V yy, const V* tl, const V* th) {
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

// Chroma terms of 32 pixels from their 16 chroma samples (horizontally
// halved chroma), doubled to the pixels' lanes (lo, hi halves).
Z9_INLINE void H2Terms(const uint8_t* cb, const uint8_t* cr, V* tl, V* th) {
  V t[4];
  ChromaTerms(Widen(cb), kBlueCb, kGreenCb, &t[0], &t[1]);
  ChromaTerms(Widen(cr), kGreenCr, kRedCr, &t[2], &t[3]);
  for (int i = 0; i < 4; ++i) {
    tl[i] = unpacklo16(t[i], t[i]);
    th[i] = unpackhi16(t[i], t[i]);
  }
}

void ColorH2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst, size_t n) {
  size_t x = 0;
  for (; x + 32 <= n; x += 32) {
    V tl[4], th[4];
    H2Terms(cb + x / 2, cr + x / 2, tl, th);
    ColorStore(dst + 3 * x, Load(y + x), tl, th);
  }
  Sse2Kernels()->colorH2(y + x, cb + x / 2, cr + x / 2, dst + 3 * x, n - x);
}

// Both rows from one computation of the chroma terms.
void ColorH2Pair(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr, uint8_t* dst0,
                 uint8_t* dst1, size_t n) {
  size_t x = 0;
  for (; x + 32 <= n; x += 32) {
    V tl[4], th[4];
    H2Terms(cb + x / 2, cr + x / 2, tl, th);
    ColorStore(dst0 + 3 * x, Load(y0 + x), tl, th);
    ColorStore(dst1 + 3 * x, Load(y1 + x), tl, th);
  }
  Sse2Kernels()->colorH2Pair(y0 + x, y1 + x, cb + x / 2, cr + x / 2, dst0 + 3 * x, dst1 + 3 * x, n - x);
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
                            Grey,     Split3, Merge3,  Horizontal, Vertical, I420RowPair, ColorH2Pair};
  return &k;
}

}  // namespace z9::img
