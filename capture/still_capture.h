// Stills from the camera: the still buffer, the driver's announced buffer
// size (property 61) and one still (property 34) turned into a picture DIB
// in a movable global block.
#pragma once
#include <windows.h>
#include <strmif.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "grab_texts.h"
#include "notifier.h"

namespace z9twn {

// What the buffer holds when the driver cannot be asked.
constexpr uint32_t kStillBufferSizeFallback = 921600;
// The largest payload the camera makes (a 2048 x 1536 RGB picture); a larger
// announcement is taken as a failed query.
constexpr uint32_t kStillBufferSizeLimit = 2048u * 1536u * 3u;
// The buffer holds the 40-byte still header and 8 bytes more beyond the payload.
constexpr size_t kStillBufferExtra = 48;

class StillBuffer {
 public:
  // Frees the old block and allocates size + 48 bytes; false (and empty) when
  // that fails.
  bool Allocate(uint32_t size);
  void Free();
  uint8_t* data() const { return data_.get(); }
  size_t length() const { return data_ ? size_ + kStillBufferExtra : 0; }
  uint32_t size() const { return size_; }

 private:
  std::unique_ptr<uint8_t[]> data_;
  uint32_t size_ = 0;
};

// Property 61: the announced still buffer size, or 921600 when the call
// fails, no interface is there, or the announcement is 0 or above the limit.
uint32_t QueryStillBufferSize(IKsPropertySet* properties);

// Picture size handed out for size codes 101, 102, 103; false for others.
bool EnlargedSize(uint8_t sizeCode, uint32_t* width, uint32_t* height);

struct StillPicture {
  HGLOBAL block = nullptr;  // packed DIB; the receiver owns it
  uint32_t width = 0;
  uint32_t height = 0;
  size_t dibSize = 0;
};

// One still: request, status, decoding, row flip, header, sound, enlargement.
// False after the failure's message has been shown; *out is then empty.
bool TakeStill(IKsPropertySet* properties, StillBuffer* buffer, const GrabTexts& texts, Notifier* notifier,
               StillPicture* out);

}  // namespace z9twn
