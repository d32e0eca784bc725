// Picks the kernel table from the processor's features once, on first use.
#include <atomic>

#include "kernels.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define Z9_X86 1
#endif

namespace z9::img {
namespace {

#if Z9_X86
// XCR0: whether the system saves the SSE and AVX register state.
uint64_t ReadXcr0() {
  uint32_t lo, hi;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (static_cast<uint64_t>(hi) << 32) | lo;
}
#endif

// AVX2 is taken with BMI2 (every such processor has both): the JPEG scan
// uses BMI2 at that level.
SimdLevel Detect() {
  SimdLevel level = SimdLevel::kScalar;
#if Z9_X86
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return level;
  const bool sse2 = (d >> 26) & 1;
  if (sse2 && Sse2Kernels()) level = SimdLevel::kSse2;
  const bool osxsave = (c >> 27) & 1, avx = (c >> 28) & 1;
  if (level == SimdLevel::kSse2 && osxsave && avx && (ReadXcr0() & 6) == 6 &&
      __get_cpuid_count(7, 0, &a, &b, &c, &d) && ((b >> 5) & 1) && ((b >> 8) & 1) && Avx2Kernels())
    level = SimdLevel::kAvx2;
#endif
  return level;
}

std::atomic<int> g_active{-1};

const Kernels& KernelsFor(SimdLevel level) {
  if (level == SimdLevel::kAvx2) return *Avx2Kernels();
  if (level == SimdLevel::kSse2) return *Sse2Kernels();
  return ScalarKernels();
}

}  // namespace

SimdLevel DetectedSimdLevel() {
  static const SimdLevel detected = Detect();
  return detected;
}

SimdLevel SetSimdLevel(SimdLevel level) {
  const SimdLevel best = DetectedSimdLevel();
  if (static_cast<int>(level) > static_cast<int>(best)) level = best;
  if (static_cast<int>(level) < 0) level = SimdLevel::kScalar;
  g_active.store(static_cast<int>(level), std::memory_order_relaxed);
  return level;
}

SimdLevel ActiveSimdLevel() {
  const int v = g_active.load(std::memory_order_relaxed);
  if (v >= 0) return static_cast<SimdLevel>(v);
  return DetectedSimdLevel();
}

const Kernels& ActiveKernels() { return KernelsFor(ActiveSimdLevel()); }

}  // namespace z9::img
