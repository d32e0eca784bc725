// Helpers of the imaging tests: the embedded test files, pictures, guarded
// buffers and the SIMD levels to run under.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/still.h"
#include "kernels.h"

namespace z9::imgtest {

bool FindTestFile(const char* name, const uint8_t** data, size_t* size);
std::vector<uint8_t> TestFile(const std::string& name);  // empty if missing

struct Picture {
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> bgr;  // top-down, blue first
};
// A binary PPM (P6) or PGM (P5) with maxval 255 as a BGR picture.
bool ParsePpm(const std::vector<uint8_t>& file, Picture* out);

// Largest absolute difference between two equally sized byte runs.
int MaxDiff(const uint8_t* a, const uint8_t* b, size_t n);

// A buffer with guard bytes on both sides to show stray writes.
class Guarded {
 public:
  explicit Guarded(size_t size, uint8_t fill = 0x5A);
  uint8_t* data() { return buf_.data() + kGuard; }
  size_t size() const { return size_; }
  bool GuardsIntact() const;
  bool AllEqual(uint8_t v) const;

 private:
  static constexpr size_t kGuard = 64;
  size_t size_;
  std::vector<uint8_t> buf_;
};

// Deterministic pseudo-random bytes.
std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed);

// Every level this processor supports, scalar first.
std::vector<img::SimdLevel> SupportedLevels();
const char* LevelName(img::SimdLevel level);

// Restores the kernel level on scope exit.
class ScopedLevel {
 public:
  explicit ScopedLevel(img::SimdLevel level) : old_(img::ActiveSimdLevel()) { img::SetSimdLevel(level); }
  ~ScopedLevel() { img::SetSimdLevel(old_); }

 private:
  img::SimdLevel old_;
};

// A still buffer: header with the given format and size, then the payload.
std::vector<uint8_t> MakeStill(uint8_t format, uint32_t width, uint32_t height,
                               const std::vector<uint8_t>& payload);

// The library's picture of a still as a capture hands it over before any
// enlargement: a DIB of the header's size, decoded, rows flipped unless RGB.
// Empty when the header cannot be read.
std::vector<uint8_t> PictureOfStill(const std::vector<uint8_t>& still, StillHeader* header = nullptr);

}  // namespace z9::imgtest
