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
// The still buffer's bound. The largest snapshot the pages offer is
// 2560 x 2048, and no still format takes more than 3 bytes a pixel, so its
// payload is at most 15,728,640 bytes. 16 MiB holds that with the header to
// spare, and keeps a driver that announces nonsense from taking a 32-bit
// host's address space (the buffer lives as long as the stream format). A
// larger announcement is taken as a failed query; sizes below the bound
// cannot wrap when the header is added, in 32 bits or 64.
constexpr uint32_t kStillBufferSizeLimit = 16u * 1024u * 1024u;
// The buffer holds the 40-byte still header and 8 bytes more beyond the payload.
constexpr size_t kStillBufferExtra = 48;

class StillBuffer {
 public:
  // Frees the old block and allocates size + 48 bytes; false (and empty) when
  // that fails or size is above kStillBufferSizeLimit.
  bool Allocate(uint32_t size);
  void Free();
  uint8_t* data() const { return data_.get(); }
  size_t length() const { return data_ ? size_t{size_} + kStillBufferExtra : 0; }
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
// False after the failure's message has been shown; *out is then empty. The
// buffer is cleared before each request, so that nothing of an earlier still
// can pass for the new one; an answer shorter than the still header, a format
// without converter and a still that does not decode are refused alike.
bool TakeStill(IKsPropertySet* properties, StillBuffer* buffer, const GrabTexts& texts, Notifier* notifier,
               StillPicture* out);

}  // namespace z9twn
