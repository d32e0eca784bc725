// Arbitrary bytes as a still buffer through DecodeImage, into a picture of
// the size its header asks for (bounded), then flipped and, when the size
// allows, enlarged.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/still.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  z9::StillHeader h;
  if (!z9::ReadStillHeader(data, size, &h)) {
    uint8_t pic[3];
    z9::DecodeImage(pic, sizeof pic, data, size);
    return 0;
  }
  // Keep pictures small enough for fast runs; larger sizes take the refusal path.
  const size_t need = z9::PictureSize(h.width, h.height);
  const bool fits = need != 0 && need <= (1u << 22);
  std::vector<uint8_t> pic(fits ? need : 48, 0x5A);
  // The still in its own exact-size buffer so that any over-read is caught.
  std::vector<uint8_t> still(data, data + size);
  z9::StillResult r;
  z9::DecodeImage(pic.data(), pic.size(), still.data(), still.size(), &r);
  if (fits && r == z9::StillResult::kConverted) {
    z9::FlipRows(pic.data(), pic.size(), h.width, h.height);
    if (h.width <= 256 && h.height <= 256 && h.sizeCode % 4 == 1) {
      std::vector<uint8_t> dib(z9::kDibHeaderSize + pic.size());
      z9::WriteDibHeader(dib.data(), dib.size(), h.width, h.height);
      std::copy(pic.begin(), pic.end(), dib.begin() + z9::kDibHeaderSize);
      const uint32_t tw = 2 + h.reserved0 % 300, th = 2 + h.reserved1 % 300;
      z9::UpscaleStill(dib.data(), dib.size(), h.width, h.height, tw, th);
    }
  }
  return 0;
}
