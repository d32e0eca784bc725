#include "transfer_queue.h"

#include <utility>

namespace z9cam {

bool PictureQueue::Push(HGLOBAL block) {
  z9::UniqueGlobal owned(block);
  if (!owned || pictures_.size() >= kCapacity) return false;
  const SIZE_T size = GlobalSize(block);
  const uint8_t* bytes = static_cast<const uint8_t*>(GlobalLock(block));
  Picture p;
  const bool sound = bytes != nullptr && ReadDibLayout(bytes, size, &p.layout);
  if (bytes != nullptr) GlobalUnlock(block);
  if (!sound) return false;
  p.block = std::move(owned);
  pictures_.push_back(std::move(p));
  return true;
}

HGLOBAL PictureQueue::TakeFront() {
  Picture& p = pictures_.front();
  HGLOBAL result = nullptr;
  if (p.layout.stride == PaddedStride(p.layout.width) && p.layout.pixelOffset == 40) {
    result = p.block.release();
  } else {
    // Rows packed tighter than a DIB allows, or a longer header: rewritten.
    z9::UniqueGlobal copy(GlobalAlloc(GMEM_MOVEABLE, PaddedDibSize(p.layout)));
    const uint8_t* src = static_cast<const uint8_t*>(GlobalLock(p.block.get()));
    uint8_t* dst = copy ? static_cast<uint8_t*>(GlobalLock(copy.get())) : nullptr;
    if (src != nullptr && dst != nullptr) CopyToPaddedDib(src, p.layout, dst);
    if (dst != nullptr) GlobalUnlock(copy.get());
    if (src != nullptr) GlobalUnlock(p.block.get());
    if (src != nullptr && dst != nullptr) result = copy.release();
  }
  if (result != nullptr) pictures_.pop_front();  // else it stays for another try
  return result;
}

void PictureQueue::DropFront() {
  if (!pictures_.empty()) pictures_.pop_front();
}

}  // namespace z9cam
