// Tables of instruction sets this target is not built for.
#include "kernels.h"

namespace z9::img {
#if !defined(Z9IMG_HAVE_SSE2)
const Kernels* Sse2Kernels() { return nullptr; }
#endif
#if !defined(Z9IMG_HAVE_AVX2)
const Kernels* Avx2Kernels() { return nullptr; }
#endif
}  // namespace z9::img
