#include "still_capture.h"

#include <imaging/still.h>

#include <cstring>
#include <new>

#include "still_request.h"
#include "win_handles.h"

namespace z9twn {

namespace {

constexpr uint32_t kLargestSide = 16384;
// A picture has no more pixels than a 24-bit payload of the still buffer's
// bound would fill; a header that claims more is not believed, whatever its
// format, so that it cannot make the picture block arbitrarily large.
constexpr uint64_t kLargestPixels = uint64_t{kStillBufferSizeLimit} / 3;

bool HasConverter(uint8_t format) {
  return format == z9::STICAP_RGB || format == z9::STICAP_I420 || format == z9::STICAP_YUY2 ||
         format == z9::STICAP_UYVY || format == z9::STICAP_MJPG;
}

// The payload bytes a still of this format and size needs; 0 for motion
// JPEG, whose length the size does not fix.
size_t FixedPayloadSize(uint8_t format, uint32_t width, uint32_t height) {
  switch (format) {
    case z9::STICAP_YUY2:
    case z9::STICAP_UYVY: return z9::PackedPayloadSize(width, height);
    case z9::STICAP_I420: return z9::I420PayloadSize(width, height);
    case z9::STICAP_RGB: return z9::PictureSize(width, height);
    default: return 0;
  }
}

bool Fail(Notifier* notifier, const char* text) {
  notifier->ShowMessage(nullptr, text, MB_ICONERROR);
  return false;
}

}  // namespace

bool StillBuffer::Allocate(uint32_t size) {
  Free();
  if (size > kStillBufferSizeLimit) return false;
  const size_t bytes = size_t{size} + kStillBufferExtra;
  data_.reset(new (std::nothrow) uint8_t[bytes]);
  if (!data_) return false;
  std::memset(data_.get(), 0, bytes);
  size_ = size;
  return true;
}

void StillBuffer::Free() {
  data_.reset();
  size_ = 0;
}

bool EnlargedSize(uint8_t sizeCode, uint32_t* width, uint32_t* height) {
  switch (sizeCode) {
    case 101: *width = 800; *height = 600; return true;
    case 102: *width = 1024; *height = 768; return true;
    case 103: *width = 1280; *height = 960; return true;
    default: return false;
  }
}

bool TakeStill(IKsPropertySet* properties, StillBuffer* buffer, const GrabTexts& texts, Notifier* notifier,
               StillPicture* out) {
  *out = StillPicture();
  uint8_t* still = buffer->data();
  const size_t length = buffer->length();

  // 1. The request: the whole buffer is instance and property data, cleared
  // first so that whatever the driver leaves unwritten is no earlier still.
  bool requested = false;
  DWORD returned = 0;
  if (properties != nullptr && still != nullptr) {
    std::memset(still, 0, length);
    const HRESULT hr = RequestStill(properties, still, length, &returned);
    if (FAILED(hr))
      notifier->ShowMessage(nullptr, "ERROR 1641:9791", MB_ICONERROR);
    else
      requested = true;
  }
  if (!requested) return Fail(notifier, "ERROR 724:9791");

  // 2. The camera's status.
  switch (still[24]) {
    case 0: break;
    case 1: return Fail(notifier, "ERROR 736:9791");
    case 2: return Fail(notifier, texts.msgString7);
    case 3: return Fail(notifier, texts.msgString8);
    case 4: return Fail(notifier, texts.msgString9);
    default: return Fail(notifier, "ERROR 754:9791");
  }

  // 3. What arrived: a still is never read beyond what the driver returned
  // nor beyond the buffer (a driver that reports no length is read to the
  // buffer's end); an answer shorter than the header, a format without
  // converter or a declared size that does not fit fails the capture.
  if (returned != 0 && returned < z9::kStillHeaderSize) return Fail(notifier, "ERROR 724:9791");
  const size_t stillLength = (returned != 0 && returned <= length) ? returned : length;
  z9::StillHeader header;
  if (!z9::ReadStillHeader(still, stillLength, &header) || !HasConverter(header.format))
    return Fail(notifier, "ERROR 724:9791");
  const uint32_t width = header.width;
  const uint32_t height = header.height;
  const size_t dibSize = z9::PictureDibSize(width, height);
  const size_t payloadRoom = stillLength - z9::kStillHeaderSize;
  const size_t payloadNeed = FixedPayloadSize(header.format, width, height);
  if (width == 0 || height == 0 || width > kLargestSide || height > kLargestSide ||
      uint64_t{width} * height > kLargestPixels || dibSize == 0 || payloadNeed > payloadRoom)
    return Fail(notifier, "ERROR 724:9791");

  // 4. The picture block (zeroed: a motion-JPEG frame smaller than its
  // header's size leaves the rest black).
  z9::UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, dibSize));
  if (!block) return Fail(notifier, texts.msgString11);
  {
    z9::GlobalLock_ lock(block.get());
    uint8_t* dib = static_cast<uint8_t*>(lock.get());
    if (dib == nullptr) return Fail(notifier, texts.msgString11);
    uint8_t* pixels = dib + z9::kDibHeaderSize;
    const size_t pixelSize = dibSize - z9::kDibHeaderSize;
    // 5. Decoding.
    z9::StillResult result = z9::StillResult::kConverted;
    z9::DecodeImage(pixels, pixelSize, still, stillLength, &result);
    // Only a converted still is a picture: nothing else of it is handed out.
    if (result != z9::StillResult::kConverted) return Fail(notifier, "ERROR 724:9791");
    // 6. Bottom-up rows for everything but RGB, which arrives bottom-up.
    if (header.format != z9::STICAP_RGB) z9::FlipRows(pixels, pixelSize, width, height);
    // 7. The header.
    z9::WriteDibHeader(dib, dibSize, width, height);
  }

  // 8. The sound.
  notifier->PlayCaptureSound();

  // 9. Enlargement: from the still's real size, and only ever to a larger picture.
  uint32_t targetWidth = 0, targetHeight = 0;
  if (EnlargedSize(header.sizeCode, &targetWidth, &targetHeight) && width <= targetWidth &&
      height <= targetHeight && !(width == targetWidth && height == targetHeight)) {
    const size_t targetSize = z9::PictureDibSize(targetWidth, targetHeight);
    z9::UniqueGlobal target(GlobalAlloc(GMEM_MOVEABLE, targetSize));
    bool enlarged = false;
    if (target) {
      z9::GlobalLock_ source(block.get());
      z9::GlobalLock_ dest(target.get());
      if (source.get() != nullptr && dest.get() != nullptr)
        enlarged = z9::UpscaleStill(static_cast<const uint8_t*>(source.get()), dibSize, width, height,
                                    static_cast<uint8_t*>(dest.get()), targetSize, targetWidth, targetHeight);
    }
    if (enlarged) {
      out->block = target.release();
      out->width = targetWidth;
      out->height = targetHeight;
      out->dibSize = targetSize;
      return true;  // the delivered block is freed by its owner here
    }
  }
  out->block = block.release();
  out->width = width;
  out->height = height;
  out->dibSize = dibSize;
  return true;
}

}  // namespace z9twn
