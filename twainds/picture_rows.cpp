#include "picture_rows.h"

#include <cstring>

namespace z9cam {

namespace {
uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
constexpr uint32_t kMaxSide = 65535;
}  // namespace

size_t PaddedStride(uint32_t width) { return (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3); }

bool ReadDibLayout(const uint8_t* block, size_t size, DibLayout* layout) {
  if (block == nullptr || size < 40) return false;
  const uint32_t headerSize = U32(block);
  const int32_t width = static_cast<int32_t>(U32(block + 4));
  const int32_t height = static_cast<int32_t>(U32(block + 8));
  if (headerSize < 40 || headerSize > size || U16(block + 12) != 1 || U16(block + 14) != 24 || U32(block + 16) != 0)
    return false;
  if (width <= 0 || height == 0 || height == INT32_MIN) return false;
  const uint32_t h = static_cast<uint32_t>(height < 0 ? -height : height);
  if (static_cast<uint32_t>(width) > kMaxSide || h > kMaxSide) return false;
  DibLayout l;
  l.width = static_cast<uint32_t>(width);
  l.height = h;
  l.bottomUp = height > 0;
  l.pixelOffset = headerSize;
  const size_t room = size - headerSize;
  const size_t padded = PaddedStride(l.width);
  const size_t packed = static_cast<size_t>(l.width) * 3;
  if (room >= padded * h)
    l.stride = padded;
  else if (room >= packed * h)
    l.stride = packed;
  else
    return false;
  *layout = l;
  return true;
}

size_t PaddedDibSize(const DibLayout& layout) { return 40 + PaddedStride(layout.width) * layout.height; }

void CopyToPaddedDib(const uint8_t* block, const DibLayout& layout, uint8_t* out) {
  std::memcpy(out, block, 40);
  Put32(out, 40);
  const size_t stride = PaddedStride(layout.width);
  Put32(out + 20, static_cast<uint32_t>(stride * layout.height));
  const size_t packed = static_cast<size_t>(layout.width) * 3;
  for (uint32_t r = 0; r < layout.height; ++r) {
    uint8_t* dst = out + 40 + r * stride;
    std::memcpy(dst, block + layout.pixelOffset + r * layout.stride, packed);
    std::memset(dst + packed, 0, stride - packed);
  }
}

void CopyRowsTopDownRgb(const uint8_t* block, const DibLayout& layout, uint32_t firstRow, uint32_t rows,
                        uint8_t* out) {
  for (uint32_t i = 0; i < rows; ++i) {
    const uint32_t top = firstRow + i;
    const uint32_t stored = layout.bottomUp ? layout.height - 1 - top : top;
    const uint8_t* src = block + layout.pixelOffset + stored * layout.stride;
    for (uint32_t x = 0; x < layout.width; ++x, src += 3, out += 3) {
      out[0] = src[2];
      out[1] = src[1];
      out[2] = src[0];
    }
  }
}

}  // namespace z9cam
