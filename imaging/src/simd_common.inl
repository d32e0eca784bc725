// Kernels written once over a vector of 16-bit lanes, included by the SSE2
// and the AVX2 files inside an anonymous namespace. The including file
// provides, for its vector type V, the lane operations used below
// (wrapping 16-bit arithmetic, so every step is the scalar formula's value
// modulo 2^16 and, where the scalar value fits, that value).
//
// Wide vectors work per 128-bit lane: unpacking and packing pairs stay in
// their lane, which keeps the lane order consistent from load to store.

// ---- Inverse DCT ----

// (2 x k + 32768) >> 16 with ties to even, for 16-bit x and k; *cleared gets
// the bit the tie rule removed (what "bit 16 cleared" takes away).
//
// MulRound (from the including file) gives the sum rounded half up,
// (2 x k + 32768) >> 16. It is a tie when the low 16 bits of 2 x k + 32768
// are zero, that is x k = 2^14 modulo 2^15. With k = 2^a m, m odd, that
// holds exactly when x = 2^(14-a) modulo 2^(15-a) (m is invertible modulo a
// power of two, and m^-1 2^(14-a) = 2^(14-a) there): the tie is a test of
// the low bits of x alone. A tie rounded up to an odd value goes back by one.
constexpr int TwoPower(int k) {
  int a = 0;
  while (a < 14 && ((k >> a) & 1) == 0) ++a;
  return a;
}

//
// Where the cleared bit is not wanted, MulRoundEven (from the including
// file) gives the result directly, in fewer operations.
template <typename V>
inline V Product(V x, int k, V* cleared = nullptr) {
  if (!cleared) return MulRoundEven(x, k);
  const int a = TwoPower(k);
  const V r = MulRound(x, k);
  const V tie = cmpeq16(and_(x, set16<V>(static_cast<int16_t>((1 << (15 - a)) - 1))),
                        set16<V>(static_cast<int16_t>(1 << (14 - a))));
  const V c = and_(tie, and_(r, set16<V>(1)));
  if (cleared) *cleared = c;
  return sub16(r, c);
}

// One pass of the transform over eight vectors in place; r[i] holds input i
// of every lane's column or row.
template <typename V>
inline void Pass(V* r, bool doubled) {
  if (doubled)
    for (int i = 0; i < 8; ++i) r[i] = add16(r[i], r[i]);
  // Even part. z1 = P(0, a, 4433, 0) stays unshifted in the scalar formula;
  // here zs = z1 >> 16 and the bit its tie rule cleared, and
  // t3 = P(z1, r2, 6270, 16) = ((a 4433 + r2 6270) >> 15) + 1 - cleared,
  // with its own tie when the sum's low 15 bits are zero.
  const V a = add16(r[2], r[6]);
  V cleared;
  const V zs = Product(a, 4433, &cleared);
  const V k2 = set32<V>(6270 << 16 | 4433);
  const V mlo = srai32(madd(unpacklo16(a, r[2]), k2), 15);
  const V mhi = srai32(madd(unpackhi16(a, r[2]), k2), 15);
  const V one = set16<V>(1);
  V t3 = sub16(add16(packs32(mlo, mhi), one), cleared);
  const V low = add16(mullo16(a, set16<V>(4433)), mullo16(r[2], set16<V>(6270)));
  const V tie3 = cmpeq16(and_(low, set16<V>(0x7FFF)), zero<V>());
  t3 = sub16(t3, and_(tie3, and_(t3, one)));
  const V t2 = sub16(zs, Product(r[6], 15137));
  const V t0 = Product(add16(r[0], r[4]), 8192);
  const V t1 = Product(sub16(r[0], r[4]), 8192);
  const V e10 = add16(t0, t3), e13 = sub16(t0, t3), e11 = add16(t1, t2), e12 = sub16(t1, t2);
  // Odd part.
  const V z5 = Product(add16(add16(r[1], r[3]), add16(r[5], r[7])), 9633);
  const V y1 = Product(add16(r[1], r[7]), -7373);
  const V y2 = Product(add16(r[3], r[5]), -20995);
  const V y3 = Product(add16(r[3], r[7]), -16069);
  const V y4 = Product(add16(r[1], r[5]), -3196);
  const V o0 = add16(add16(Product(r[7], 2446), y1), add16(y3, z5));
  const V o1 = add16(add16(Product(r[5], 16819), y2), add16(y4, z5));
  const V o2 = add16(add16(Product(r[3], 25172), y2), add16(y3, z5));
  const V o3 = add16(add16(Product(r[1], 12299), y1), add16(y4, z5));
  r[0] = add16(e10, o3);
  r[7] = sub16(e10, o3);
  r[1] = add16(e11, o2);
  r[6] = sub16(e11, o2);
  r[2] = add16(e12, o1);
  r[5] = sub16(e12, o1);
  r[3] = add16(e13, o0);
  r[4] = sub16(e13, o0);
}

template <typename V>
inline void Transpose(V* r) {
  const V t0 = unpacklo16(r[0], r[1]), t1 = unpackhi16(r[0], r[1]);
  const V t2 = unpacklo16(r[2], r[3]), t3 = unpackhi16(r[2], r[3]);
  const V t4 = unpacklo16(r[4], r[5]), t5 = unpackhi16(r[4], r[5]);
  const V t6 = unpacklo16(r[6], r[7]), t7 = unpackhi16(r[6], r[7]);
  const V u0 = unpacklo32(t0, t2), u1 = unpackhi32(t0, t2);
  const V u2 = unpacklo32(t1, t3), u3 = unpackhi32(t1, t3);
  const V u4 = unpacklo32(t4, t6), u5 = unpackhi32(t4, t6);
  const V u6 = unpacklo32(t5, t7), u7 = unpackhi32(t5, t7);
  r[0] = unpacklo64(u0, u4);
  r[1] = unpackhi64(u0, u4);
  r[2] = unpacklo64(u1, u5);
  r[3] = unpackhi64(u1, u5);
  r[4] = unpacklo64(u2, u6);
  r[5] = unpackhi64(u2, u6);
  r[6] = unpacklo64(u3, u7);
  r[7] = unpackhi64(u3, u7);
}

// Columns, then rows; r ends as the rows of the result, 128 added with
// saturation (clamped by the caller's pack).
template <typename V>
inline void Transform(V* r) {
  Pass(r, true);
  Transpose(r);
  Pass(r, false);
  Transpose(r);
  const V bias = set16<V>(128);
  for (int i = 0; i < 8; ++i) r[i] = adds16(r[i], bias);
}

// True when every coefficient but the first is zero.
inline bool DcOnly(const int16_t* b) {
  const __m128i* p = reinterpret_cast<const __m128i*>(b);
  __m128i acc = _mm_andnot_si128(_mm_cvtsi32_si128(0xFFFF), _mm_load_si128(p));
  for (int i = 1; i < 8; ++i) acc = _mm_or_si128(acc, _mm_load_si128(p + i));
  return _mm_movemask_epi8(_mm_cmpeq_epi8(acc, _mm_setzero_si128())) == 0xFFFF;
}

// A DC-only block is flat: both passes reduce to P(0, x, 8192, 16).
inline uint8_t FlatSample(int16_t dc) {
  auto p = [](int32_t x) {
    int32_t sum = 2 * x * 8192 + 32768;
    if ((sum & 0xFFFF) == 0) sum &= ~0x10000;
    return sum >> 16;
  };
  const int32_t col = p(static_cast<int16_t>(static_cast<uint16_t>(2 * dc)));
  return Clamp255(static_cast<int16_t>(p(col)) + 128);
}

inline void FillFlat(uint8_t* out, ptrdiff_t stride, int16_t dc) {
  const uint8_t v = FlatSample(dc);
  for (int i = 0; i < 8; ++i) std::memset(out + i * stride, v, 8);
}

inline void IdctOne(const int16_t* b, uint8_t* out, ptrdiff_t stride) {
  if (DcOnly(b)) {
    FillFlat(out, stride, b[0]);
    return;
  }
  __m128i r[8];
  for (int i = 0; i < 8; ++i) r[i] = _mm_load_si128(reinterpret_cast<const __m128i*>(b + 8 * i));
  Transform(r);
  for (int i = 0; i < 8; ++i)
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i * stride), _mm_packus_epi16(r[i], r[i]));
}

// ---- Colour ----

// trunc(c x d) for d = s - 128 in 16-bit lanes: the unsigned high half of
// |d| 2^n x M, that is floor(|d| 2^n M / 2^16), then the sign of d. Each
// constant is (n << 16) | M with M in 16 unsigned bits. The factors are
// not exact, but for |d| <= 128 each lands every product on the same
// integer as the truncated tables (the colour tests run every sample value
// through both):
//   1.402   ~ 2 x 45941 / 65536  (+0.000008)
//   0.71414 ~ 46737 / 65536      (-0.00099)
//   0.34414 ~ 22553 / 65536      (-0.000009)
//   1.772   ~ 2 x 58065 / 65536  (+0.000003)
constexpr int32_t kRedCr = 1 << 16 | 45941;
constexpr int32_t kGreenCr = 0 << 16 | 46737;
constexpr int32_t kGreenCb = 0 << 16 | 22553;
constexpr int32_t kBlueCb = 1 << 16 | 58065;

// Both terms of one chroma channel for 16-bit lanes of samples c.
template <typename V>
inline void ChromaTerms(V c, int32_t k1, int32_t k2, V* t1, V* t2) {
  const V d = sub16(c, set16<V>(128));
  const V sign = srai16(d, 15);
  const V absd = sub16(xor_(d, sign), sign);
  auto term = [&](int32_t k) {
    const V x = (k >> 16) ? add16(absd, absd) : absd;
    const V a = mulhiu16(x, set16<V>(static_cast<int16_t>(static_cast<uint16_t>(k))));
    return sub16(xor_(a, sign), sign);
  };
  *t1 = term(k1);
  *t2 = term(k2);
}

// Blue, green and red of 16-bit lanes of luma with the terms of the lanes'
// chroma. The green terms come as trunc(0.34414 d) and trunc(0.71414 d) and
// are subtracted: trunc(-x) = -trunc(x).
template <typename V>
inline void Ycc(V y, V bcb, V gcb, V gcr, V rcr, V* b, V* g, V* r) {
  *b = add16(y, bcb);
  *g = sub16(sub16(y, gcb), gcr);
  *r = add16(y, rcr);
}

// ---- BT.601 studio range, 8 fractional bits, in 16-bit lanes ----
// (298 Y + 516 U - 70688) >> 8 = Y + 2U - 256 + ((42 Y + 4 U - 5152) >> 8),
// and likewise for green and red: the parts in brackets fit in 16 bits.
template <typename V>
inline void Bt601(V y, V u, V v, V* b, V* g, V* r) {
  const V y42 = mullo16(y, set16<V>(42));
  *b = add16(add16(y, add16(u, u)), srai16(add16(y42, sub16(slli16(u, 2), set16<V>(5152))), 8));
  *b = sub16(*b, set16<V>(256));
  const V gq = add16(sub16(y42, mullo16(u, set16<V>(100))), add16(mullo16(v, set16<V>(48)), set16<V>(2016)));
  *g = add16(add16(sub16(y, v), set16<V>(128)), srai16(gq, 8));
  const V rq = add16(y42, sub16(mullo16(v, set16<V>(153)), set16<V>(24224)));
  *r = add16(sub16(add16(y, v), set16<V>(128)), srai16(rq, 8));
}

// ---- 4:2:2 packed, 6 fractional bits ----
// blue = ((y + 129 u - 8192) >> 6) + 128: the bracket fits in 16 bits where
// y + 129 u may not.
template <typename V>
inline void Yuy2Pixels(V yv, V uv, V vv, V* b, V* g, V* r) {
  const V y = mullo16(sub16(yv, set16<V>(16)), set16<V>(74));
  const V u = sub16(uv, set16<V>(128)), v = sub16(vv, set16<V>(128));
  *b = add16(srai16(sub16(add16(y, mullo16(u, set16<V>(129))), set16<V>(8192)), 6), set16<V>(128));
  *g = srai16(sub16(sub16(y, mullo16(u, set16<V>(25))), mullo16(v, set16<V>(52))), 6);
  *r = srai16(add16(y, mullo16(v, set16<V>(103))), 6);
}

// ---- Cubic vertical pass ----
template <typename V>
inline V Vertical4(V a, V b, V c, V d, const int16_t* w) {
  const V z = zero<V>();
  auto half = [&](V (*unpack)(V, V)) {
    V s = add16(mullo16(unpack(a, z), set16<V>(w[0])), mullo16(unpack(b, z), set16<V>(w[1])));
    s = add16(s, add16(mullo16(unpack(c, z), set16<V>(w[2])), mullo16(unpack(d, z), set16<V>(w[3]))));
    return srai16(add16(s, set16<V>(64)), 6);
  };
  return packus16(half(unpacklo8), half(unpackhi8));
}
