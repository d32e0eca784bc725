// The bench camera's live picture: eight colour bars that move a few pixels
// each frame, with the frame number drawn in the top left corner.
#pragma once
#include <cstdint>
#include <vector>

#include "video_formats.h"

namespace z9proxy {

class FramePainter {
 public:
  // Paints frame `number` of format `f` into `out` (room `size`); returns the
  // bytes written, 0 when the frame does not fit.
  DWORD Paint(const VideoFormat& f, uint32_t number, BYTE* out, DWORD size);

  // The counter's cell size for a picture of `height` rows (pixels per font dot).
  static int DotSize(LONG height);

 private:
  struct Rgb {
    BYTE r, g, b;
  };
  void BuildRows(LONG width, LONG height, uint32_t number);
  void WriteRow(const VideoFormat& f, const Rgb* row, BYTE* dst) const;

  std::vector<Rgb> bars_;     // one row of moving bars
  std::vector<Rgb> counter_;  // the rows that carry the counter, row after row
  LONG counterTop_ = 0, counterRows_ = 0;
};

}  // namespace z9proxy
