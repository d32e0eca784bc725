// Inner loops of the decoders, one table per instruction set. Every table
// computes exactly the same bytes as the scalar one; the wider ones are only
// faster. The active table is picked once from the processor's features and
// can be narrowed (tests and benchmarks compare the levels).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace z9::img {

enum class SimdLevel : int { kScalar = 0, kSse2 = 1, kAvx2 = 2 };

// Pixel positions of the horizontal cubic pass for one target row width.
struct HorizontalPlan {
  size_t targetWidth = 0;
  const int32_t* ix = nullptr;  // first source tap of target column x
  const uint8_t* px = nullptr;  // phase 0..127 of target column x
  // For groups of 8 target columns whose taps lie within 16 source bytes of
  // the group's first tap (null when some group does not): per group, the
  // first tap, then byte shuffles and 8-bit weights for taps 0/1 and 2/3
  // interleaved per column (16 bytes each).
  const int32_t* groupBase = nullptr;
  const uint8_t* groupShuffle = nullptr;  // 32 bytes per group
  const int8_t* groupWeights = nullptr;   // 32 bytes per group
  size_t groups = 0;                      // targetWidth / 8
};

struct Kernels {
  // 4:2:2 packed: `pairs` groups of 4 input bytes to 6 output bytes.
  void (*yuy2)(const uint8_t* src, uint8_t* dst, size_t pairs);
  void (*uyvy)(const uint8_t* src, uint8_t* dst, size_t pairs);
  // One picture row of I420: `width` lumas, chroma index x / 2.
  void (*i420Row)(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, size_t width);
  // Inverse DCT of `count` dequantised blocks (64 coefficients each, row by
  // row, natural order, 32-byte aligned); block i lands at out + 8 i with rows
  // `stride` bytes apart, 128 added and clamped.
  void (*idctBlocks)(const int16_t* blocks, size_t count, uint8_t* out, ptrdiff_t stride);
  // JPEG colour step for one row of n pixels: chroma at x (444) or x / 2.
  void (*color444)(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst, size_t n);
  void (*colorH2)(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* dst, size_t n);
  void (*grey)(const uint8_t* y, uint8_t* dst, size_t n);
  // Cubic upscaler: planes of a BGR row, horizontal pass of one plane row,
  // planes back to BGR, vertical pass over n bytes with the weights of one
  // phase.
  void (*split3)(const uint8_t* bgr, uint8_t* b, uint8_t* g, uint8_t* r, size_t n);
  void (*merge3)(const uint8_t* b, const uint8_t* g, const uint8_t* r, uint8_t* bgr, size_t n);
  void (*horizontal)(const uint8_t* src, uint8_t* dst, const HorizontalPlan& plan);
  void (*vertical)(const uint8_t* r0, const uint8_t* r1, const uint8_t* r2, const uint8_t* r3,
                   const int16_t* weights, uint8_t* dst, size_t n);
  // Two picture rows of I420 that share their chroma row: i420Row on each.
  void (*i420RowPair)(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v, uint8_t* dst0,
                      uint8_t* dst1, size_t width);
  // Two rows of a 4:2:0 picture that share their chroma row: colorH2 on each.
  void (*colorH2Pair)(const uint8_t* y0, const uint8_t* y1, const uint8_t* cb, const uint8_t* cr, uint8_t* dst0,
                      uint8_t* dst1, size_t n);
};

const Kernels& ScalarKernels();
const Kernels* Sse2Kernels();  // null when not built for this target
const Kernels* Avx2Kernels();  // null when not built for this target

// What the processor (and the system, for the wide registers) supports.
SimdLevel DetectedSimdLevel();
// Picks the widest supported level at or below `level`; returns it.
SimdLevel SetSimdLevel(SimdLevel level);
SimdLevel ActiveSimdLevel();
const Kernels& ActiveKernels();

// The JPEG colour tables (entries truncated toward zero), by sample value.
extern const std::array<int16_t, 256> kRedFromCr;
extern const std::array<int16_t, 256> kGreenFromCr;
extern const std::array<int16_t, 256> kGreenFromCb;
extern const std::array<int16_t, 256> kBlueFromCb;

// Row `phase` of CubicWeightTable.
const int16_t* CubicWeights(unsigned phase);

// Scalar tails shared by the SIMD tables: columns [from, targetWidth) of the
// horizontal pass, bytes [from, n) of the vertical pass.
void HorizontalScalar(const uint8_t* src, uint8_t* dst, const HorizontalPlan& plan, size_t from);
void VerticalScalar(const uint8_t* r0, const uint8_t* r1, const uint8_t* r2, const uint8_t* r3,
                    const int16_t* weights, uint8_t* dst, size_t from, size_t n);

// Internal linkage: the SIMD files are built with other instruction sets and
// must not lend their copy to the rest of the library.
static inline uint8_t Clamp255(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace z9::img
