// The still header, picture and DIB layouts, the format dispatch, the YUV
// converters and the row flip.
#include <algorithm>
#include <cstring>
#include <limits>

#include "imaging/still.h"
#include "kernels.h"

namespace z9 {
namespace {

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// a x b x c with c small, or 0 when it does not fit in size_t.
size_t Product(uint64_t a, uint64_t b, uint64_t c) {
  const uint64_t kMax = std::numeric_limits<size_t>::max();
  if (a == 0 || b == 0) return 0;
  if (a > kMax / b) return 0;
  const uint64_t ab = a * b;
  if (ab > kMax / c) return 0;
  return static_cast<size_t>(ab * c);
}

bool PictureFits(size_t pictureSize, uint32_t width, uint32_t height) {
  if (width == 0 || height == 0) return true;
  const size_t need = PictureSize(width, height);
  return need != 0 && pictureSize >= need;
}

}  // namespace

bool ReadStillHeader(const uint8_t* still, size_t stillSize, StillHeader* h) {
  if (!still || !h || stillSize < kStillHeaderSize) return false;
  std::memcpy(h->propertySet, still, 16);
  h->propertyId = Le32(still + 16);
  h->flags = Le32(still + 20);
  h->status = still[24];
  h->format = still[25];
  h->sizeCode = still[26];
  h->reserved0 = still[27];
  h->height = Le32(still + 28);
  h->width = Le32(still + 32);
  h->reserved1 = Le32(still + 36);
  return true;
}

size_t PictureSize(uint32_t width, uint32_t height) { return Product(width, height, 3); }

size_t PictureDibSize(uint32_t width, uint32_t height) {
  const size_t pixels = PictureSize(width, height);
  if (pixels == 0 || pixels > std::numeric_limits<size_t>::max() - kDibHeaderSize) return 0;
  return pixels + kDibHeaderSize;
}

bool WriteDibHeader(uint8_t* dib, size_t dibSize, uint32_t width, uint32_t height) {
  if (!dib || dibSize < kDibHeaderSize) return false;
  std::memset(dib, 0, kDibHeaderSize);
  PutLe32(dib + 0, 40);                       // biSize
  PutLe32(dib + 4, width);                    // biWidth
  PutLe32(dib + 8, height);                   // biHeight: positive, bottom-up
  dib[12] = 1;                                // biPlanes
  dib[14] = 24;                               // biBitCount
  PutLe32(dib + 16, 0);                       // biCompression: BI_RGB
  PutLe32(dib + 20, static_cast<uint32_t>(static_cast<uint64_t>(width) * height * 3));
  return true;
}

size_t PackedPayloadSize(uint32_t width, uint32_t height) {
  return Product((static_cast<uint64_t>(width) + 1) / 2, height, 4);
}

size_t I420PayloadSize(uint32_t width, uint32_t height) {
  const size_t luma = Product(width, height, 1);
  const size_t chroma = Product((static_cast<uint64_t>(width) + 1) / 2,
                                (static_cast<uint64_t>(height) + 1) / 2, 2);
  if (luma == 0 || chroma == 0 || luma > std::numeric_limits<size_t>::max() - chroma) return 0;
  return luma + chroma;
}

namespace {

// Packed 4:2:2 rows hold whole pixel pairs; an odd last pixel takes the
// first luma of its pair and the second is dropped.
bool ConvertPacked(uint8_t* picture, size_t pictureSize, const uint8_t* payload,
                   size_t payloadSize, uint32_t width, uint32_t height, bool uyvy) {
  if (width == 0 || height == 0) return true;
  const size_t need = PackedPayloadSize(width, height);
  if (!picture || !payload || need == 0 || payloadSize < need ||
      !PictureFits(pictureSize, width, height))
    return false;
  const img::Kernels& k = img::ActiveKernels();
  auto row = uyvy ? k.uyvy : k.yuy2;
  if (width % 2 == 0) {
    // Rows are contiguous on both sides: one run over the whole picture.
    row(payload, picture, static_cast<size_t>(width / 2) * height);
    return true;
  }
  const size_t inStride = (static_cast<size_t>(width) + 1) / 2 * 4;
  const size_t outStride = static_cast<size_t>(width) * 3;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* in = payload + y * inStride;
    uint8_t* out = picture + y * outStride;
    row(in, out, width / 2);
    uint8_t last[6];
    row(in + inStride - 4, last, 1);
    std::memcpy(out + outStride - 3, last, 3);
  }
  return true;
}

}  // namespace

bool ConvertYuy2(uint8_t* picture, size_t pictureSize, const uint8_t* payload, size_t payloadSize,
                 uint32_t width, uint32_t height) {
  return ConvertPacked(picture, pictureSize, payload, payloadSize, width, height, false);
}

bool ConvertUyvy(uint8_t* picture, size_t pictureSize, const uint8_t* payload, size_t payloadSize,
                 uint32_t width, uint32_t height) {
  return ConvertPacked(picture, pictureSize, payload, payloadSize, width, height, true);
}

bool ConvertI420(uint8_t* picture, size_t pictureSize, const uint8_t* payload, size_t payloadSize,
                 uint32_t width, uint32_t height) {
  if (width == 0 || height == 0) return true;
  const size_t need = I420PayloadSize(width, height);
  if (!picture || !payload || need == 0 || payloadSize < need ||
      !PictureFits(pictureSize, width, height))
    return false;
  const size_t cw = (static_cast<size_t>(width) + 1) / 2;
  const size_t ch = (static_cast<size_t>(height) + 1) / 2;
  const uint8_t* u = payload + static_cast<size_t>(width) * height;
  const uint8_t* v = u + cw * ch;
  const img::Kernels& k = img::ActiveKernels();
  // Rows in pairs that share a chroma row; an odd height leaves one.
  uint32_t y = 0;
  for (; y + 2 <= height; y += 2) {
    const size_t c = (y / 2) * cw;
    const uint8_t* luma = payload + static_cast<size_t>(y) * width;
    uint8_t* out = picture + static_cast<size_t>(y) * width * 3;
    k.i420RowPair(luma, luma + width, u + c, v + c, out, out + static_cast<size_t>(width) * 3, width);
  }
  if (y < height) {
    const size_t c = (y / 2) * cw;
    k.i420Row(payload + static_cast<size_t>(y) * width, u + c, v + c,
              picture + static_cast<size_t>(y) * width * 3, width);
  }
  return true;
}

bool FlipRows(uint8_t* pixels, size_t size, uint32_t width, uint32_t height) {
  if (width == 0 || height == 0) return true;
  if (!pixels || !PictureFits(size, width, height)) return false;
  const size_t stride = static_cast<size_t>(width) * 3;
  uint8_t tmp[1024];
  for (uint32_t k = 0; k < height / 2; ++k) {
    uint8_t* a = pixels + k * stride;
    uint8_t* b = pixels + (height - 1 - k) * stride;
    for (size_t off = 0; off < stride; off += sizeof tmp) {
      const size_t n = std::min(sizeof tmp, stride - off);
      std::memcpy(tmp, a + off, n);
      std::memcpy(a + off, b + off, n);
      std::memcpy(b + off, tmp, n);
    }
  }
  return true;
}

int DecodeImage(uint8_t* picture, size_t pictureSize, const uint8_t* still, size_t stillSize,
                StillResult* result) {
  StillResult r = StillResult::kRefused;
  StillHeader h;
  if (picture && ReadStillHeader(still, stillSize, &h) &&
      PictureFits(pictureSize, h.width, h.height)) {
    const uint8_t* payload = still + kStillHeaderSize;
    const size_t payloadSize = stillSize - kStillHeaderSize;
    bool ok = true;
    switch (h.format) {
      case STICAP_RGB: {
        const size_t n = PictureSize(h.width, h.height);
        ok = payloadSize >= n;
        if (ok && n) std::memcpy(picture, payload, n);
        r = ok ? StillResult::kConverted : StillResult::kRefused;
        break;
      }
      case STICAP_I420:
        ok = ConvertI420(picture, pictureSize, payload, payloadSize, h.width, h.height);
        r = ok ? StillResult::kConverted : StillResult::kRefused;
        break;
      case STICAP_YUY2:
        ok = ConvertYuy2(picture, pictureSize, payload, payloadSize, h.width, h.height);
        r = ok ? StillResult::kConverted : StillResult::kRefused;
        break;
      case STICAP_UYVY:
        ok = ConvertUyvy(picture, pictureSize, payload, payloadSize, h.width, h.height);
        r = ok ? StillResult::kConverted : StillResult::kRefused;
        break;
      case STICAP_MJPG:
        ok = DecodeMjpgStill(picture, pictureSize, h.width, h.height, payload, payloadSize);
        r = ok ? StillResult::kConverted : StillResult::kDecodeFailed;
        break;
      default:
        r = StillResult::kNotConverted;
        break;
    }
  }
  if (result) *result = r;
  return 1;
}

}  // namespace z9
