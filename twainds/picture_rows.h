// The geometry of a handed-over picture (a packed 24-bit DIB) and the rows a
// memory transfer copies out of it: top-down, red-green-blue, whole rows per
// strip. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace z9cam {

struct DibLayout {
  uint32_t width = 0;
  uint32_t height = 0;
  bool bottomUp = true;
  size_t pixelOffset = 0;  // header size: 24-bit pictures carry no colour table
  size_t stride = 0;       // bytes from one stored row to the next
};

// Reads and checks the header of a 24-bit uncompressed DIB of `size` bytes:
// false unless every row lies inside the block. Rows may be padded to four
// bytes (a standard DIB) or packed at width x 3 bytes.
bool ReadDibLayout(const uint8_t* block, size_t size, DibLayout* layout);

// Bytes per row of a standard DIB of this width.
size_t PaddedStride(uint32_t width);

// Copies the stored rows into a standard DIB: header (biSizeImage updated)
// and rows padded to four bytes; `out` holds PaddedDibSize(layout) bytes.
size_t PaddedDibSize(const DibLayout& layout);
void CopyToPaddedDib(const uint8_t* block, const DibLayout& layout, uint8_t* out);

// Copies top-down rows [firstRow, firstRow + rows) as red-green-blue, each
// row width x 3 bytes, into out (rows x width x 3 bytes).
void CopyRowsTopDownRgb(const uint8_t* block, const DibLayout& layout, uint32_t firstRow, uint32_t rows,
                        uint8_t* out);

}  // namespace z9cam
