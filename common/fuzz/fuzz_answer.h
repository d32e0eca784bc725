// What the readers' fuzz targets share: an answer buffer of exactly the
// request's length on the heap (so that a read past it is caught), filled
// with the fuzzer's bytes as far as they go and with the request as sent
// after that (a driver that writes less than the whole answer), and an
// independent little-endian decoding to compare the readers with.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace z9fuzz {

inline std::unique_ptr<uint8_t[]> Answer(const uint8_t* request, size_t length, const uint8_t* data, size_t size) {
  std::unique_ptr<uint8_t[]> buf(new uint8_t[length]);
  std::memcpy(buf.get(), request, length);
  std::memcpy(buf.get(), data, size < length ? size : length);
  return buf;
}

inline uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
inline int32_t I32(const uint8_t* p) {
  const uint32_t u = U32(p);
  int32_t v;
  std::memcpy(&v, &u, sizeof v);
  return v;
}
inline uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A reader that disagrees with the layout is a finding.
inline void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace z9fuzz
