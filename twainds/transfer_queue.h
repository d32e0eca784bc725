// The pictures the capture dialog has handed over and the application has
// not taken yet: a bounded queue of packed 24-bit DIB blocks that the source
// owns until a native transfer hands one on. The first picture also carries
// how far a memory transfer has got.
#pragma once
#include <windows.h>

#include <cstddef>
#include <deque>

#include "picture_rows.h"
#include "win_handles.h"

namespace z9cam {

class PictureQueue {
 public:
  static constexpr size_t kCapacity = 8;

  // Takes the block. Refused (and freed) when it is no sound 24-bit DIB or
  // the queue is full.
  bool Push(HGLOBAL block);
  size_t Count() const { return pictures_.size(); }
  bool Empty() const { return pictures_.empty(); }
  const DibLayout& FrontLayout() const { return pictures_.front().layout; }
  HGLOBAL FrontBlock() const { return pictures_.front().block.get(); }
  // Hands the first picture on as a standard DIB (padded rows); the caller
  // owns it. Null (the picture stays) when no memory is left for a copy.
  HGLOBAL TakeFront();
  void DropFront();
  void Clear() { pictures_.clear(); }
  // Rows of the first picture a memory transfer has already copied.
  uint32_t& FrontRowsDone() { return pictures_.front().rowsDone; }

 private:
  struct Picture {
    z9::UniqueGlobal block;
    DibLayout layout;
    uint32_t rowsDone = 0;
  };
  std::deque<Picture> pictures_;
};

}  // namespace z9cam
