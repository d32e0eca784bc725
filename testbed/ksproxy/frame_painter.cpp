#include "frame_painter.h"

#include <cstring>

namespace z9proxy {
namespace {

// White, yellow, cyan, green, magenta, red, blue, black.
const BYTE kBars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                          {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};

// 3 x 5 dot digits, one row of three bits per entry (bit 2 is the left dot).
const BYTE kDigits[10][5] = {{7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
                             {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};
constexpr int kCounterDigits = 6;
constexpr int kBarStep = 4;  // pixels the bars move per frame

BYTE Clamp(int v) { return static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v); }
BYTE LumaOf(int r, int g, int b) { return Clamp(16 + ((66 * r + 129 * g + 25 * b + 128) >> 8)); }
BYTE BlueDiffOf(int r, int g, int b) { return Clamp(128 + ((-38 * r - 74 * g + 112 * b + 128) >> 8)); }
BYTE RedDiffOf(int r, int g, int b) { return Clamp(128 + ((112 * r - 94 * g - 18 * b + 128) >> 8)); }

}  // namespace

int FramePainter::DotSize(LONG height) { return height >= 240 ? static_cast<int>(height / 60) : 2; }

void FramePainter::BuildRows(LONG width, LONG height, uint32_t number) {
  const size_t w = static_cast<size_t>(width);
  bars_.resize(w);
  const LONG barWidth = width / 8 > 0 ? width / 8 : 1;
  const LONG shift = static_cast<LONG>((number * kBarStep) % static_cast<uint32_t>(width));
  for (LONG x = 0; x < width; ++x) {
    LONG bar = ((x + shift) % width) / barWidth;
    if (bar > 7) bar = 7;
    bars_[static_cast<size_t>(x)] = {kBars[bar][0], kBars[bar][1], kBars[bar][2]};
  }

  // A black box with white digits: one dot of margin around 6 digits of 3 x 5
  // dots with one dot between them.
  const int dot = DotSize(height);
  const LONG boxWidth = static_cast<LONG>((kCounterDigits * 4 + 1) * dot);
  counterRows_ = 7 * dot;
  counterTop_ = dot;
  if (counterTop_ + counterRows_ > height || dot + boxWidth > width) {
    counterRows_ = 0;
    return;
  }
  counter_.assign(static_cast<size_t>(counterRows_) * w, Rgb{0, 0, 0});
  uint32_t digits[kCounterDigits];
  uint32_t n = number;
  for (int i = kCounterDigits - 1; i >= 0; --i) {
    digits[i] = n % 10u;
    n /= 10u;
  }
  for (LONG r = 0; r < counterRows_; ++r) {
    Rgb* row = &counter_[static_cast<size_t>(r) * w];
    std::memcpy(row, bars_.data(), w * sizeof(Rgb));
    for (LONG x = dot; x < dot + boxWidth; ++x) row[x] = {0, 0, 0};
    const int fontRow = static_cast<int>(r / dot) - 1;
    if (fontRow < 0 || fontRow > 4) continue;
    for (int d = 0; d < kCounterDigits; ++d) {
      const BYTE bits = kDigits[digits[d]][fontRow];
      for (int c = 0; c < 3; ++c) {
        if (!(bits & (4 >> c))) continue;
        const LONG left = dot + static_cast<LONG>((1 + d * 4 + c) * dot);
        for (LONG x = left; x < left + dot; ++x) row[x] = {255, 255, 255};
      }
    }
  }
}

void FramePainter::WriteRow(const VideoFormat& f, const Rgb* row, BYTE* dst) const {
  const LONG width = f.width;
  if (f.bitCount == 24) {
    for (LONG x = 0; x < width; ++x) {
      dst[0] = row[x].b;
      dst[1] = row[x].g;
      dst[2] = row[x].r;
      dst += 3;
    }
    return;
  }
  // Packed 4:2:2; UYVY puts the chroma first, every other 16-bit format is laid out like YUY2.
  const bool uyvy = f.compression == MAKEFOURCC('U', 'Y', 'V', 'Y');
  for (LONG x = 0; x + 1 < width; x += 2) {
    const Rgb& a = row[x];
    const Rgb& b = row[x + 1];
    const BYTE y0 = LumaOf(a.r, a.g, a.b), y1 = LumaOf(b.r, b.g, b.b);
    const BYTE u = BlueDiffOf((a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2);
    const BYTE v = RedDiffOf((a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2);
    if (uyvy) {
      dst[0] = u; dst[1] = y0; dst[2] = v; dst[3] = y1;
    } else {
      dst[0] = y0; dst[1] = u; dst[2] = y1; dst[3] = v;
    }
    dst += 4;
  }
}

DWORD FramePainter::Paint(const VideoFormat& f, uint32_t number, BYTE* out, DWORD size) {
  const DWORD bytes = FrameBytes(f);
  if (!out || size < bytes || f.width <= 0 || f.height <= 0) return 0;
  BuildRows(f.width, f.height, number);
  const DWORD stride = bytes / static_cast<DWORD>(f.height);
  // RGB rows are stored bottom-up, the YUV layouts top-down.
  const bool bottomUp = f.bitCount == 24;
  std::vector<BYTE> plain(stride, 0);
  WriteRow(f, bars_.data(), plain.data());
  for (LONG y = 0; y < f.height; ++y) {
    BYTE* dst = out + static_cast<DWORD>(bottomUp ? f.height - 1 - y : y) * stride;
    if (y >= counterTop_ && y < counterTop_ + counterRows_)
      WriteRow(f, &counter_[static_cast<size_t>(y - counterTop_) * static_cast<size_t>(f.width)], dst);
    else
      std::memcpy(dst, plain.data(), stride);
  }
  return bytes;
}

}  // namespace z9proxy
