#include "test_support.h"

#include <cstdlib>
#include <cstring>

namespace z9::imgtest {

std::vector<uint8_t> TestFile(const std::string& name) {
  const uint8_t* d;
  size_t n;
  if (!FindTestFile(name.c_str(), &d, &n)) return {};
  return std::vector<uint8_t>(d, d + n);
}

namespace {
bool PpmNumber(const std::vector<uint8_t>& f, size_t* pos, uint32_t* v) {
  while (*pos < f.size() && (f[*pos] == ' ' || f[*pos] == '\n' || f[*pos] == '\r' || f[*pos] == '\t'))
    ++*pos;
  if (*pos >= f.size() || f[*pos] < '0' || f[*pos] > '9') return false;
  *v = 0;
  while (*pos < f.size() && f[*pos] >= '0' && f[*pos] <= '9') *v = *v * 10 + (f[(*pos)++] - '0');
  return true;
}
}  // namespace

bool ParsePpm(const std::vector<uint8_t>& f, Picture* out) {
  if (f.size() < 2 || f[0] != 'P' || (f[1] != '6' && f[1] != '5')) return false;
  const bool grey = f[1] == '5';
  size_t pos = 2;
  uint32_t maxval;
  if (!PpmNumber(f, &pos, &out->width) || !PpmNumber(f, &pos, &out->height) ||
      !PpmNumber(f, &pos, &maxval) || maxval != 255)
    return false;
  ++pos;
  const size_t pixels = static_cast<size_t>(out->width) * out->height;
  if (f.size() - pos < pixels * (grey ? 1 : 3)) return false;
  out->bgr.resize(pixels * 3);
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* p = &f[pos + (grey ? i : 3 * i)];
    out->bgr[3 * i] = grey ? p[0] : p[2];
    out->bgr[3 * i + 1] = grey ? p[0] : p[1];
    out->bgr[3 * i + 2] = p[0];
  }
  return true;
}

int MaxDiff(const uint8_t* a, const uint8_t* b, size_t n) {
  int m = 0;
  for (size_t i = 0; i < n; ++i) {
    const int d = std::abs(a[i] - b[i]);
    if (d > m) m = d;
  }
  return m;
}

Guarded::Guarded(size_t size, uint8_t fill) : size_(size), buf_(size + 2 * kGuard, 0xA5) {
  std::memset(buf_.data() + kGuard, fill, size);
}

bool Guarded::GuardsIntact() const {
  for (size_t i = 0; i < kGuard; ++i)
    if (buf_[i] != 0xA5 || buf_[kGuard + size_ + i] != 0xA5) return false;
  return true;
}

bool Guarded::AllEqual(uint8_t v) const {
  for (size_t i = 0; i < size_; ++i)
    if (buf_[kGuard + i] != v) return false;
  return true;
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  uint32_t s = seed * 2654435761u + 1;
  for (auto& b : v) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    b = static_cast<uint8_t>(s >> 7);
  }
  return v;
}

std::vector<img::SimdLevel> SupportedLevels() {
  std::vector<img::SimdLevel> v{img::SimdLevel::kScalar};
  const int best = static_cast<int>(img::DetectedSimdLevel());
  for (int l = 1; l <= best; ++l) v.push_back(static_cast<img::SimdLevel>(l));
  return v;
}

const char* LevelName(img::SimdLevel level) {
  switch (level) {
    case img::SimdLevel::kScalar: return "scalar";
    case img::SimdLevel::kSse2: return "sse2";
    case img::SimdLevel::kAvx2: return "avx2";
  }
  return "?";
}

std::vector<uint8_t> MakeStill(uint8_t format, uint32_t width, uint32_t height,
                               const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> s(kStillHeaderSize + payload.size(), 0);
  if (!payload.empty()) std::memcpy(s.data() + kStillHeaderSize, payload.data(), payload.size());
  s[16] = 34;
  s[20] = 1;
  s[25] = format;
  for (int i = 0; i < 4; ++i) {
    s[28 + i] = static_cast<uint8_t>(height >> (8 * i));
    s[32 + i] = static_cast<uint8_t>(width >> (8 * i));
  }
  return s;
}

std::vector<uint8_t> PictureOfStill(const std::vector<uint8_t>& still, StillHeader* header) {
  StillHeader h;
  if (!ReadStillHeader(still.data(), still.size(), &h)) return {};
  std::vector<uint8_t> dib(PictureDibSize(h.width, h.height), 0);
  if (dib.size() < kDibHeaderSize) return {};
  DecodeImage(dib.data() + kDibHeaderSize, dib.size() - kDibHeaderSize, still.data(), still.size());
  if (h.format != STICAP_RGB) FlipRows(dib.data() + kDibHeaderSize, dib.size() - kDibHeaderSize, h.width, h.height);
  WriteDibHeader(dib.data(), dib.size(), h.width, h.height);
  if (header != nullptr) *header = h;
  return dib;
}

}  // namespace z9::imgtest
