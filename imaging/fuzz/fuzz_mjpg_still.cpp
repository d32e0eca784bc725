// Arbitrary bytes as a JPEG stream through DecodeMjpgStill. The picture
// size comes from the stream's own frame header when there is one (bounded),
// so that accepted streams decode in full; otherwise a small fixed size.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/still.h"

namespace {
void FrameSize(const uint8_t* d, size_t n, uint32_t* w, uint32_t* h) {
  for (size_t i = 0; i + 9 < n; ++i)
    if (d[i] == 0xFF && d[i + 1] == 0xC0) {
      *h = static_cast<uint32_t>(d[i + 5] << 8 | d[i + 6]);
      *w = static_cast<uint32_t>(d[i + 7] << 8 | d[i + 8]);
      return;
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t w = 64, h = 48;
  FrameSize(data, size, &w, &h);
  if (static_cast<uint64_t>(w) * h > (1u << 20)) {
    w = 64;
    h = 48;
  }
  std::vector<uint8_t> stream(data, data + size);
  std::vector<uint8_t> pic(z9::PictureSize(w, h) + 1, 0x5A);
  z9::DecodeMjpgStill(pic.data(), pic.size() - 1, w, h, stream.data(), stream.size());
  return 0;
}
