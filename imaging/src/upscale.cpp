// Cubic enlargement of a picture DIB.
//
// Target row y and column x take the 4 x 4 source samples of rows
// iy .. iy + 3 and columns ix .. ix + 3, where iy, ix and the phases py, px
// come from positions y x stepY and x x stepX in 1/128 of a source pixel.
// Each of the four rows is filtered horizontally with the weights of px
// (rounded with + 64, shifted by 6, clamped), then the four results
// vertically with the weights of py, the same way.
//
// The horizontal results of a source row are the same for every target row,
// so each needed source row is filtered once into a ring of four rows
// (blue, green and red interleaved like the picture), and the vertical pass
// runs straight over those rows into the target.
#include <cstring>
#include <memory>
#include <new>

#include "imaging/still.h"
#include "kernels.h"

namespace z9 {
namespace {

template <typename T>
std::unique_ptr<T[]> Alloc(size_t n) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[n]);
}

bool Upscale(const uint8_t* src, uint32_t sw, uint32_t sh, uint8_t* dst, uint32_t tw, uint32_t th) {
  const img::Kernels& k = img::ActiveKernels();
  const uint32_t stepX = static_cast<uint32_t>((static_cast<uint64_t>(sw - 5) * 128) / (tw - 1));
  const uint32_t stepY = static_cast<uint32_t>((static_cast<uint64_t>(sh - 5) * 128) / (th - 1));

  // Horizontal plan, shared by all rows and channels.
  auto ix = Alloc<int32_t>(tw);
  auto px = Alloc<uint8_t>(tw);
  const size_t groups = tw / 8;
  auto groupBase = Alloc<int32_t>(groups + 1);
  auto groupShuffle = Alloc<uint8_t>(groups * 32 + 1);
  auto groupWeights = Alloc<int8_t>(groups * 32 + 1);
  const size_t rowBytes = static_cast<size_t>(tw) * 3;
  constexpr size_t kSlack = 64;
  auto planes = Alloc<uint8_t>(3 * (static_cast<size_t>(sw) + kSlack));
  auto hplanes = Alloc<uint8_t>(3 * (static_cast<size_t>(tw) + kSlack));
  auto ring = Alloc<uint8_t>(4 * (rowBytes + kSlack));
  if (!ix || !px || !groupBase || !groupShuffle || !groupWeights || !planes || !hplanes || !ring)
    return false;

  for (uint32_t x = 0; x < tw; ++x) {
    const uint64_t xs = static_cast<uint64_t>(x) * stepX;
    ix[x] = static_cast<int32_t>(xs / 128);
    px[x] = static_cast<uint8_t>(xs % 128);
  }
  img::HorizontalPlan plan;
  plan.targetWidth = tw;
  plan.ix = ix.get();
  plan.px = px.get();
  bool grouped = true;
  for (size_t g = 0; g < groups && grouped; ++g) {
    const int32_t base = ix[g * 8];
    groupBase[g] = base;
    for (int j = 0; j < 8; ++j) {
      const int32_t rel = ix[g * 8 + j] - base;
      if (rel + 3 > 15) {
        grouped = false;
        break;
      }
      const int16_t* w = img::CubicWeights(px[g * 8 + j]);
      uint8_t* shuf = groupShuffle.get() + g * 32;
      int8_t* wt = groupWeights.get() + g * 32;
      for (int t = 0; t < 2; ++t) {
        shuf[2 * j + t] = static_cast<uint8_t>(rel + t);
        shuf[16 + 2 * j + t] = static_cast<uint8_t>(rel + 2 + t);
        wt[2 * j + t] = static_cast<int8_t>(w[t]);
        wt[16 + 2 * j + t] = static_cast<int8_t>(w[2 + t]);
      }
    }
  }
  if (grouped && groups) {
    plan.groupBase = groupBase.get();
    plan.groupShuffle = groupShuffle.get();
    plan.groupWeights = groupWeights.get();
    plan.groups = groups;
  }

  uint8_t* pl[3];
  uint8_t* hp[3];
  for (int c = 0; c < 3; ++c) {
    pl[c] = planes.get() + c * (static_cast<size_t>(sw) + kSlack);
    hp[c] = hplanes.get() + c * (static_cast<size_t>(tw) + kSlack);
  }
  int64_t tag[4] = {-1, -1, -1, -1};
  const size_t srcStride = static_cast<size_t>(sw) * 3;
  for (uint32_t y = 0; y < th; ++y) {
    const uint64_t ys = static_cast<uint64_t>(y) * stepY;
    const uint32_t iy = static_cast<uint32_t>(ys / 128);
    const int16_t* wy = img::CubicWeights(static_cast<unsigned>(ys % 128));
    const uint8_t* rows[4];
    for (uint32_t r = iy; r < iy + 4; ++r) {
      uint8_t* slot = ring.get() + (r & 3) * (rowBytes + kSlack);
      if (tag[r & 3] != r) {
        k.split3(src + r * srcStride, pl[0], pl[1], pl[2], sw);
        for (int c = 0; c < 3; ++c) k.horizontal(pl[c], hp[c], plan);
        k.merge3(hp[0], hp[1], hp[2], slot, tw);
        tag[r & 3] = r;
      }
      rows[r - iy] = slot;
    }
    k.vertical(rows[0], rows[1], rows[2], rows[3], wy, dst + y * rowBytes, rowBytes);
  }
  return true;
}

bool UpscaleArgsOk(size_t sourceDibSize, uint32_t sw, uint32_t sh, size_t targetDibSize,
                   uint32_t tw, uint32_t th) {
  if (sw < 6 || sh < 6 || tw < 2 || th < 2) return false;
  const size_t srcNeed = PictureDibSize(sw, sh), dstNeed = PictureDibSize(tw, th);
  return srcNeed && dstNeed && sourceDibSize >= srcNeed && targetDibSize >= dstNeed;
}

}  // namespace

bool UpscaleStill(const uint8_t* sourceDib, size_t sourceDibSize, uint32_t sourceWidth,
                  uint32_t sourceHeight, uint8_t* targetDib, size_t targetDibSize,
                  uint32_t targetWidth, uint32_t targetHeight) {
  if (!sourceDib || !targetDib ||
      !UpscaleArgsOk(sourceDibSize, sourceWidth, sourceHeight, targetDibSize, targetWidth,
                     targetHeight))
    return false;
  if (!Upscale(sourceDib + kDibHeaderSize, sourceWidth, sourceHeight, targetDib + kDibHeaderSize,
               targetWidth, targetHeight))
    return false;
  WriteDibHeader(targetDib, targetDibSize, targetWidth, targetHeight);
  return true;
}

std::vector<uint8_t> UpscaleStill(const uint8_t* sourceDib, size_t sourceDibSize,
                                  uint32_t sourceWidth, uint32_t sourceHeight,
                                  uint32_t targetWidth, uint32_t targetHeight) {
  std::vector<uint8_t> out;
  if (!sourceDib || !UpscaleArgsOk(sourceDibSize, sourceWidth, sourceHeight,
                                   PictureDibSize(targetWidth, targetHeight), targetWidth,
                                   targetHeight))
    return out;
  try {
    out.resize(PictureDibSize(targetWidth, targetHeight));
  } catch (...) {
    return {};
  }
  if (!UpscaleStill(sourceDib, sourceDibSize, sourceWidth, sourceHeight, out.data(), out.size(),
                    targetWidth, targetHeight))
    return {};
  return out;
}

}  // namespace z9
