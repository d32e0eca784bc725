// Baseline JPEG decoder for the camera's motion-JPEG stills.
//
// Two passes: the scan pass decodes each MCU row into dequantised blocks and
// transforms them at once into sample planes of the whole kept area, and so
// checks the stream completely; only then does the colour pass write the
// picture. A stream that is rejected anywhere leaves the picture as it was.
//
// Every read is bounded by the stream length: past the end of the entropy
// data, or at a marker inside it, the bit reader supplies zero bits and
// counts them, and a scan that needs any of them is rejected.
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/still.h"
#include "kernels.h"

namespace z9 {
namespace {

// Natural position of zigzag index k. Indices 64..127, which a run past the
// block's end reaches, all name position 64: the first coefficient of the
// next block of the row, or the pad block after the row's last one. Only
// zeros are written there (the quantiser entries past 63 are zero), and that
// block is still all zero: it is decoded later.
struct ZigzagTable {
  uint8_t pos[128];
  constexpr ZigzagTable() : pos() {
    constexpr uint8_t kOrder[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    for (int k = 0; k < 128; ++k) pos[k] = k < 64 ? kOrder[k] : 64;
  }
};
constexpr ZigzagTable kZigzag;

// Look-ahead width of the Huffman tables. Codes up to this length are found
// by one table lookup, longer ones by the per-length maximum codes.
constexpr int kLookBits = 11;

struct Huffman {
  bool defined = false;
  uint16_t fast[1 << kLookBits];   // (length << 8) | symbol; 0: longer code
  // AC codes of up to kLookBits bits, decoded: (length << 24) | (run << 16) |
  // (size << 8) | (length + size); 0: longer code. An end of block has run
  // 63 (a size 0 with any run but 15 ends the block), so that it takes the
  // zigzag index past 63 like any other step.
  uint32_t fastAc[1 << kLookBits];
  int32_t maxcode[18];             // largest code of each length, -1: none
  int32_t valoffset[18];           // symbol index = code + valoffset[length]
  uint8_t values[256];
};

inline int32_t Extend(uint32_t v, int s) {
  // A value whose top bit is 0 is negative: v - 2^s + 1 (without a branch:
  // the signs of coefficients are not predictable).
  const uint32_t negative = ((v >> (s - 1)) & 1) - 1;  // all ones when the top bit is 0
  return static_cast<int32_t>(v + (negative & (1u - (1u << s))));
}

// Builds the decoding tables of one DHT table; false if its codes overflow
// their lengths.
bool BuildHuffman(Huffman& h, const uint8_t* counts, const uint8_t* values, int total, bool ac) {
  std::memcpy(h.values, values, total);
  std::memset(h.fast, 0, sizeof h.fast);
  std::memset(h.fastAc, 0, sizeof h.fastAc);
  uint32_t code = 0;
  int k = 0;
  for (int len = 1; len <= 16; ++len) {
    h.valoffset[len] = k - static_cast<int32_t>(code);
    for (int i = 0; i < counts[len - 1]; ++i, ++k, ++code) {
      if (code >= (1u << len)) return false;  // a code longer than its length
      if (len <= kLookBits) {
        const int shift = kLookBits - len;
        for (uint32_t s = 0; s < (1u << shift); ++s)
          h.fast[(code << shift) | s] = static_cast<uint16_t>(len << 8 | values[k]);
      }
    }
    h.maxcode[len] = counts[len - 1] ? static_cast<int32_t>(code) - 1 : -1;
    code <<= 1;
  }
  h.maxcode[17] = 0x7FFFFFFF;
  if (ac) {
    for (uint32_t i = 0; i < (1u << kLookBits); ++i) {
      const uint32_t len = h.fast[i] >> 8;
      if (!len) continue;
      const uint32_t rs = h.fast[i] & 0xFF, s = rs & 15;
      const uint32_t run = s ? rs >> 4 : (rs >> 4 == 15 ? 15 : 63);
      h.fastAc[i] = len << 24 | run << 16 | s << 8 | (len + s);
    }
  }
  h.defined = true;
  return true;
}

inline uint64_t LoadBe64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  v = __builtin_bswap64(v);
#endif
  return v;
}

struct BitReader {
  const uint8_t* p;
  const uint8_t* end;
  uint64_t acc = 0;  // next bits, most significant first
  int bits = 0;      // valid bits in acc
  int pad = 0;       // of those, zero bits supplied past the data
  bool atMarker = false;

  // Takes the bytes before the first 0xFF among the next 8 at once.
  bool FillFast() {
    if (atMarker || end - p < 8) return false;
    const uint64_t w = LoadBe64(p);
    // Flags every 0xFF byte, and perhaps a 0xFE just before one (borrows run
    // toward the earlier bytes): no byte before the first flag is 0xFF.
    const uint64_t flags = (~w - 0x0101010101010101ull) & w & 0x8080808080808080ull;
    int n = (64 - bits) >> 3;
    if (flags) {
      const int clean = __builtin_clzll(flags) >> 3;
      if (clean == 0) return false;
      if (clean < n) n = clean;
    }
    const int taken = bits + 8 * n;
    const uint64_t keep = taken >= 64 ? ~0ull : ~(~0ull >> taken);
    acc |= (w >> bits) & keep;
    p += n;
    bits = taken;
    return true;
  }
  // Up to more than 56 bits: the bytes before a 0xFF at once, then byte by
  // byte: stuffed 0xFF 0x00, markers, the end of the stream.
  __attribute__((noinline)) void FillSlow() {
    while (bits <= 56) {
      if (FillFast()) continue;
      uint32_t b = 0;
      if (atMarker || p >= end) {
        pad += 8;
      } else if (*p != 0xFF) {
        b = *p++;
      } else if (end - p >= 2 && p[1] == 0x00) {
        b = 0xFF;
        p += 2;
      } else {
        atMarker = true;  // a marker (or the stream's last byte): data ends
        pad += 8;
      }
      acc |= static_cast<uint64_t>(b) << (56 - bits);
      bits += 8;
    }
  }
  void Fill() {
    if (!FillFast() || bits <= 56) FillSlow();
  }
  void Need() {
    if (bits < 32) Fill();
  }
  void Skip(int n) {
    acc <<= n;
    bits -= n;
  }
  uint32_t Get(int n) {
    const uint32_t v = static_cast<uint32_t>(acc >> (64 - n));
    Skip(n);
    return v;
  }
  bool Overrun() const { return bits < pad; }
};

// The bit buffer of a BitReader in locals while one block is decoded, so
// that the compiler keeps it in registers: the reader itself escapes to its
// out-of-line refill, and every store of a coefficient could otherwise
// change it as far as the compiler knows.
struct LocalBits {
  uint64_t acc;
  int bits;
  void Skip(int n) {
    acc <<= n;
    bits -= n;
  }
  uint32_t Get(int n) {
    const uint32_t v = static_cast<uint32_t>(acc >> (64 - n));
    Skip(n);
    return v;
  }
};

// -1 when no code of up to 16 bits matches.
template <typename Reader>
inline int DecodeSymbol(Reader& br, const Huffman& h) {
  const uint32_t look = static_cast<uint32_t>(br.acc >> (64 - kLookBits));
  const uint32_t e = h.fast[look];
  if (e) {
    br.Skip(e >> 8);
    return e & 0xFF;
  }
  const uint32_t code16 = static_cast<uint32_t>(br.acc >> 48);
  for (int len = kLookBits + 1; len <= 16; ++len) {
    const int32_t c = static_cast<int32_t>(code16 >> (16 - len));
    if (c <= h.maxcode[len]) {
      br.Skip(len);
      return h.values[(c + h.valoffset[len]) & 0xFF];
    }
  }
  return -1;
}

struct Component {
  int id = 0, h = 1, v = 1, tq = 0;
  int td = 0, ta = 0;
  bool inScan = false;
};

// An int16_t array aligned to 32 bytes (the inverse DCT loads blocks whole).
class AlignedBlocks {
 public:
  bool Assign(size_t count) {
    mem_.reset(new (std::nothrow) int16_t[count + 16]());
    if (!mem_) return false;
    data_ = mem_.get();
    while (reinterpret_cast<uintptr_t>(data_) % 32) ++data_;
    return true;
  }
  int16_t* data() const { return data_; }

 private:
  std::unique_ptr<int16_t[]> mem_;
  int16_t* data_ = nullptr;
};

class Decoder {
 public:
  bool Run(uint8_t* picture, uint32_t width, uint32_t height, const uint8_t* s, size_t n);

 private:
  bool ParseHeaders(const uint8_t* s, size_t n, size_t* scanStart);
  bool ParseDqt(const uint8_t* seg, size_t len);
  bool ParseSof(const uint8_t* seg, size_t len);
  bool ParseDht(const uint8_t* seg, size_t len);
  bool ParseSos(const uint8_t* seg, size_t len);
  bool DecodeScan(const uint8_t* data, const uint8_t* end);
  inline __attribute__((always_inline)) bool ScanBody(const uint8_t* data, const uint8_t* end);
#if defined(__i386__) || defined(__x86_64__)
  __attribute__((target("bmi2"))) bool ScanBmi2(const uint8_t* data, const uint8_t* end);
#endif
  inline __attribute__((always_inline)) bool DecodeBlock(BitReader& br, const Component& c,
                                                         int32_t& pred, int16_t* out);
  void TransformRow(uint32_t my);
  void Colour(uint8_t* picture, uint32_t width);

  uint16_t quant_[4][64];
  bool quantDefined_[4] = {};
  Huffman dc_[4], ac_[4];
  Component comp_[3];
  int ncomp_ = 0;
  bool haveFrame_ = false;
  uint32_t frameW_ = 0, frameH_ = 0;
  uint32_t restart_ = 0;

  // Geometry.
  int hmax_ = 1, vmax_ = 1, mcuW_ = 8, mcuH_ = 8;
  uint32_t mcusX_ = 0, mcusY_ = 0;    // whole frame
  uint32_t keepX_ = 0, keepY_ = 0;    // MCUs that reach into the picture
  uint32_t cropW_ = 0, cropH_ = 0;
  int blocksPerMcu_ = 0;

  // Quantiser entries by zigzag index, zero past 63 (see kZigzag).
  uint16_t quantZz_[4][128];
  // One MCU row of dequantised blocks: per component its v block rows of
  // keepX x h blocks and a pad block each; all zero between MCU rows.
  AlignedBlocks blocks_;
  size_t rowBlocks_[3] = {};  // blocks per block row, without the pad
  size_t compBlocks_[3] = {};  // offset of each component's rows, in blocks
  size_t mcuRowBlocks_ = 0;
  // One MCU (and a pad) for MCUs outside the picture: decoded and dropped,
  // never read, so never cleared either.
  AlignedBlocks scratch_;
  // Samples of the kept MCUs, one plane per component.
  std::unique_ptr<uint8_t[]> planes_[3];
  size_t strides_[3] = {};
};

bool Decoder::ParseDqt(const uint8_t* seg, size_t len) {
  size_t i = 0;
  while (i < len) {
    const int pq = seg[i] >> 4, tq = seg[i] & 15;
    if (tq > 3) return false;
    const size_t size = pq ? 128 : 64;
    if (len - i - 1 < size) return false;
    const uint8_t* e = seg + i + 1;
    for (int k = 0; k < 64; ++k)
      quant_[tq][k] = pq ? static_cast<uint16_t>(e[2 * k] << 8 | e[2 * k + 1]) : e[k];
    quantDefined_[tq] = true;
    i += 1 + size;
  }
  return true;
}

bool Decoder::ParseSof(const uint8_t* seg, size_t len) {
  if (haveFrame_ || len < 6 || seg[0] != 8) return false;
  frameH_ = static_cast<uint32_t>(seg[1] << 8 | seg[2]);
  frameW_ = static_cast<uint32_t>(seg[3] << 8 | seg[4]);
  ncomp_ = seg[5];
  if ((ncomp_ != 1 && ncomp_ != 3) || len != 6 + 3 * static_cast<size_t>(ncomp_)) return false;
  if (frameW_ == 0 || frameH_ == 0) return false;  // no DNL support
  for (int c = 0; c < ncomp_; ++c) {
    const uint8_t* p = seg + 6 + 3 * c;
    comp_[c].id = p[0];
    comp_[c].h = p[1] >> 4;
    comp_[c].v = p[1] & 15;
    comp_[c].tq = p[2];
    if (comp_[c].h < 1 || comp_[c].h > 2 || comp_[c].v < 1 || comp_[c].v > 2) return false;
    if (comp_[c].tq > 3) return false;
    if (c > 0 && comp_[c].id != comp_[c - 1].id + 1) return false;
  }
  if (ncomp_ == 1) {
    // A single component is one block per MCU, whatever its factors.
    comp_[0].h = comp_[0].v = 1;
  } else {
    // Chroma 1 x 1; luma 1 x 1 (4:4:4), 2 x 1 (4:2:2) or 2 x 2 (4:2:0).
    if (comp_[1].h != 1 || comp_[1].v != 1 || comp_[2].h != 1 || comp_[2].v != 1) return false;
    if (comp_[0].h == 1 && comp_[0].v == 2) return false;
  }
  hmax_ = comp_[0].h;
  vmax_ = comp_[0].v;
  mcuW_ = 8 * hmax_;
  mcuH_ = 8 * vmax_;
  mcusX_ = (frameW_ + mcuW_ - 1) / mcuW_;
  mcusY_ = (frameH_ + mcuH_ - 1) / mcuH_;
  blocksPerMcu_ = 0;
  for (int c = 0; c < ncomp_; ++c) blocksPerMcu_ += comp_[c].h * comp_[c].v;
  haveFrame_ = true;
  return true;
}

bool Decoder::ParseDht(const uint8_t* seg, size_t len) {
  size_t i = 0;
  while (i < len) {
    if (len - i < 17) return false;
    const int tc = seg[i] >> 4, th = seg[i] & 15;
    if (tc > 1 || th > 3) return false;
    const uint8_t* counts = seg + i + 1;
    int total = 0;
    for (int k = 0; k < 16; ++k) total += counts[k];
    if (total > 256 || len - i - 17 < static_cast<size_t>(total)) return false;
    Huffman& h = tc ? ac_[th] : dc_[th];
    if (!BuildHuffman(h, counts, seg + i + 17, total, tc == 1)) return false;
    i += 17 + total;
  }
  return true;
}

bool Decoder::ParseSos(const uint8_t* seg, size_t len) {
  if (!haveFrame_ || len < 1) return false;
  const int ns = seg[0];
  if (ns != ncomp_ || len != 1 + 2 * static_cast<size_t>(ns) + 3) return false;
  for (int i = 0; i < ns; ++i) {
    const int id = seg[1 + 2 * i], td = seg[2 + 2 * i] >> 4, ta = seg[2 + 2 * i] & 15;
    if (td > 3 || ta > 3) return false;
    Component* c = nullptr;
    for (int k = 0; k < ncomp_; ++k)
      if (comp_[k].id == id && !comp_[k].inScan) c = &comp_[k];
    if (!c) return false;
    c->inScan = true;
    c->td = td;
    c->ta = ta;
    if (!dc_[td].defined || !ac_[ta].defined || !quantDefined_[c->tq]) return false;
  }
  return true;
}

bool Decoder::ParseHeaders(const uint8_t* s, size_t n, size_t* scanStart) {
  if (n < 2 || s[0] != 0xFF || s[1] != 0xD8) return false;
  size_t pos = 2;
  for (;;) {
    if (pos >= n || s[pos] != 0xFF) return false;
    while (pos < n && s[pos] == 0xFF) ++pos;
    if (pos >= n) return false;
    const uint8_t code = s[pos++];
    if (n - pos < 2) return false;
    const size_t len = static_cast<size_t>(s[pos] << 8 | s[pos + 1]);
    if (len < 2 || len > n - pos) return false;
    const uint8_t* seg = s + pos + 2;
    const size_t segLen = len - 2;
    switch (code) {
      case 0xE0:
        break;
      case 0xDB:
        if (!ParseDqt(seg, segLen)) return false;
        break;
      case 0xC0:
        if (!ParseSof(seg, segLen)) return false;
        break;
      case 0xC4:
        if (!ParseDht(seg, segLen)) return false;
        break;
      case 0xDD:
        if (segLen != 2) return false;
        restart_ = static_cast<uint32_t>(seg[0] << 8 | seg[1]);
        break;
      case 0xDA:
        if (!ParseSos(seg, segLen)) return false;
        *scanStart = pos + len;
        return true;
      default:
        return false;
    }
    pos += len;
  }
}

// Decodes one block into `out` (all zero before): the DC difference, then
// the AC steps. A step of the fast table takes its code and extra bits
// without a branch on either: with `after` the buffer past the code, the
// size's bits are after >> (64 - size) (0 for size 0), negative when the
// first of them is 0: value - 2^size + 1.
inline bool Decoder::DecodeBlock(BitReader& reader, const Component& c, int32_t& pred, int16_t* out) {
  const Huffman& dc = dc_[c.td];
  const Huffman& ac = ac_[c.ta];
  const uint16_t* q = quantZz_[c.tq];
  const uint32_t* const fastAc = ac.fastAc;
  LocalBits br{reader.acc, reader.bits};
  const uint8_t* p = reader.p;
  const uint8_t* const end = reader.end;
  // Refills to at least 56 bits without a branch on the count: the next 8
  // bytes, when none is 0xFF, are or-ed in below the valid bits whole (the
  // bits past the count are the stream's own next bits, which a later
  // refill or-s in again at the same place), and the count goes up by the
  // whole bytes that fit. A 0xFF (stuffed byte, marker; a reader at a
  // marker stands on its 0xFF) or the end of the data goes to the reader.
  auto refill = [&]() __attribute__((always_inline)) {
    if (br.bits > 56) return;  // full already (the reader fills up to 64)
    if (end - p >= 8) {
      const uint64_t w = LoadBe64(p);
      if (!((~w - 0x0101010101010101ull) & w & 0x8080808080808080ull)) {
        br.acc |= w >> br.bits;
        p += (63 - br.bits) >> 3;
        br.bits |= 56;
        return;
      }
    }
    reader.acc = br.acc;
    reader.bits = br.bits;
    reader.p = p;
    reader.FillSlow();
    br.acc = reader.acc;
    br.bits = reader.bits;
    p = reader.p;
  };
  // One AC step (at most 26 bits through the table, 31 otherwise): the
  // caller has left at least 26 bits; the slow path refills for its own
  // longer code and leaves at least 26 again.
  uint32_t k = 1, size = 0;
  auto step = [&]() __attribute__((always_inline)) -> bool {
    const uint32_t e = fastAc[br.acc >> (64 - kLookBits)];
    uint32_t run;
    int32_t value;
    if (e) {
      const uint64_t after = br.acc << (e >> 24);
      size = (e >> 8) & 0xFF;
      run = (e >> 16) & 0xFF;
      const uint32_t bits = static_cast<uint32_t>((after >> 1) >> (63 - size));
      const uint32_t negative = static_cast<uint32_t>(static_cast<int64_t>(~after) >> 63);
      value = static_cast<int32_t>(bits + (negative & (1u - (1u << size))));
      br.Skip(static_cast<int>(e & 0xFF));
    } else {
      if (br.bits < 32) refill();
      const int rs = DecodeSymbol(br, ac);
      if (rs < 0) return false;
      size = rs & 15;
      run = size ? rs >> 4 : (rs >> 4 == 15 ? 15 : 63);
      value = size ? Extend(br.Get(size), size) : 0;
      if (br.bits < 26) refill();
    }
    k += run;
    out[kZigzag.pos[k]] = static_cast<int16_t>(static_cast<uint32_t>(value) * q[k]);
    ++k;
    return true;
  };
  auto body = [&]() __attribute__((always_inline)) -> bool {
    if (br.bits < 32) refill();
    const int s = DecodeSymbol(br, dc);
    if (s < 0 || s > 15) return false;
    int32_t diff = 0;
    if (s) diff = Extend(br.Get(s), s);
    pred = static_cast<int32_t>(static_cast<uint32_t>(pred) + static_cast<uint32_t>(diff));
    out[0] = static_cast<int16_t>(static_cast<uint32_t>(pred) * q[0]);
    // Two steps per refill: 56 bits hold two table steps, and a slow step
    // leaves 26 for the next.
    for (;;) {
      refill();
      if (!step()) return false;
      if (k >= 64) break;
      if (!step()) return false;
      if (k >= 64) break;
    }
    // Past 64: an end of block or a run of zeros reaching past the block
    // (size 0) ends it; a coefficient there is an error.
    return k == 64 || size == 0;
  };
  const bool ok = body();
  reader.acc = br.acc;
  reader.bits = br.bits;
  reader.p = p;
  return ok;
}

// Transforms MCU row `my` into the planes and clears its blocks.
void Decoder::TransformRow(uint32_t my) {
  const img::Kernels& k = img::ActiveKernels();
  for (int c = 0; c < ncomp_; ++c) {
    const Component& cp = comp_[c];
    for (int v = 0; v < cp.v; ++v) {
      const int16_t* row = blocks_.data() + (compBlocks_[c] + v * (rowBlocks_[c] + 1)) * 64;
      uint8_t* out = planes_[c].get() + (static_cast<size_t>(my) * cp.v + v) * 8 * strides_[c];
      k.idctBlocks(row, rowBlocks_[c], out, static_cast<ptrdiff_t>(strides_[c]));
    }
  }
  std::memset(blocks_.data(), 0, mcuRowBlocks_ * 64 * sizeof(int16_t));
}

// The scan is built twice on x86: as is, and with the variable shifts and
// bit field extractions of BMI2 (one operation each, where the basic set
// needs the count in CL), taken with the AVX2 kernels, whose processors all
// have them.
bool Decoder::DecodeScan(const uint8_t* data, const uint8_t* end) {
#if defined(__i386__) || defined(__x86_64__)
  if (img::ActiveSimdLevel() == img::SimdLevel::kAvx2) return ScanBmi2(data, end);
#endif
  return ScanBody(data, end);
}

#if defined(__i386__) || defined(__x86_64__)
bool Decoder::ScanBmi2(const uint8_t* data, const uint8_t* end) { return ScanBody(data, end); }
#endif

inline bool Decoder::ScanBody(const uint8_t* data, const uint8_t* end) {
  BitReader br{data, end};
  int32_t pred[3] = {};
  uint32_t sinceRestart = 0;
  bool first = true;
  for (uint32_t my = 0; my < mcusY_; ++my) {
    for (uint32_t mx = 0; mx < mcusX_; ++mx) {
      if (restart_ && !first && sinceRestart == restart_) {
        // End of an interval: drop the segment's last bits, pass the RSTn
        // marker, start the predictors afresh.
        if (br.Overrun()) return false;
        const uint8_t* p = br.p;
        if (end - p < 2 || p[0] != 0xFF) return false;
        while (p < end && *p == 0xFF) ++p;
        if (p >= end || *p < 0xD0 || *p > 0xD7) return false;
        br = BitReader{p + 1, end};
        pred[0] = pred[1] = pred[2] = 0;
        sinceRestart = 0;
      }
      first = false;
      ++sinceRestart;
      const bool keep = mx < keepX_ && my < keepY_;
      int16_t* scratch = scratch_.data();
      for (int c = 0; c < ncomp_; ++c) {
        const Component& cp = comp_[c];
        for (int v = 0; v < cp.v; ++v) {
          int16_t* out = keep ? blocks_.data() + (compBlocks_[c] + v * (rowBlocks_[c] + 1) + mx * cp.h) * 64
                              : scratch;
          for (int h = 0; h < cp.h; ++h, out += 64)
            if (!DecodeBlock(br, cp, pred[c], out)) return false;
          if (!keep) scratch = out;
        }
      }
      if (br.Overrun()) return false;
    }
    if (my < keepY_) TransformRow(my);
  }
  return true;
}

void Decoder::Colour(uint8_t* picture, uint32_t width) {
  const img::Kernels& k = img::ActiveKernels();
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  for (uint32_t y = 0; y < cropH_; ++y) {
    uint8_t* out = picture + y * rowBytes;
    const uint8_t* yr = planes_[0].get() + y * strides_[0];
    if (ncomp_ == 1) {
      k.grey(yr, out, cropW_);
      continue;
    }
    const size_t cy = y / vmax_;
    const uint8_t* cbr = planes_[1].get() + cy * strides_[1];
    const uint8_t* crr = planes_[2].get() + cy * strides_[2];
    if (hmax_ == 1) {
      k.color444(yr, cbr, crr, out, cropW_);
    } else if (vmax_ == 2 && y + 1 < cropH_) {
      // 4:2:0: both rows of the chroma row at once.
      k.colorH2Pair(yr, yr + strides_[0], cbr, crr, out, out + rowBytes, cropW_);
      ++y;
    } else {
      k.colorH2(yr, cbr, crr, out, cropW_);
    }
  }
}

bool Decoder::Run(uint8_t* picture, uint32_t width, uint32_t height, const uint8_t* s, size_t n) {
  size_t scanStart = 0;
  if (!ParseHeaders(s, n, &scanStart)) return false;
  cropW_ = width < frameW_ ? width : frameW_;
  cropH_ = height < frameH_ ? height : frameH_;
  keepX_ = (cropW_ + mcuW_ - 1) / mcuW_;
  keepY_ = (cropH_ + mcuH_ - 1) / mcuH_;
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 128; ++i) quantZz_[t][i] = i < 64 ? quant_[t][i] : 0;
  mcuRowBlocks_ = 0;
  for (int c = 0; c < ncomp_; ++c) {
    rowBlocks_[c] = static_cast<size_t>(keepX_) * comp_[c].h;
    compBlocks_[c] = mcuRowBlocks_;
    mcuRowBlocks_ += (rowBlocks_[c] + 1) * comp_[c].v;
    strides_[c] = rowBlocks_[c] * 8;
    // The colour kernels may read a little past a row.
    constexpr size_t kSlack = 64;
    // Counted in 64 bits: on a 32-bit system a plane of a large picture
    // (4:4:4, rounded up to whole MCUs) may not fit in size_t.
    const uint64_t wide = static_cast<uint64_t>(strides_[c]) * 8 * comp_[c].v * keepY_ + kSlack;
    if (wide > SIZE_MAX) return false;
    const size_t size = static_cast<size_t>(wide);
    planes_[c].reset(new (std::nothrow) uint8_t[size]);
    if (!planes_[c]) return false;
    std::memset(planes_[c].get() + size - kSlack, 0, kSlack);
  }
  if (!blocks_.Assign(mcuRowBlocks_ * 64) || !scratch_.Assign((blocksPerMcu_ + 1) * 64)) return false;
  if (!DecodeScan(s + scanStart, s + n)) return false;
  if (cropW_ == 0 || cropH_ == 0) return true;
  Colour(picture, width);
  return true;
}

}  // namespace

bool DecodeMjpgStill(uint8_t* picture, size_t pictureSize, uint32_t width, uint32_t height,
                     const uint8_t* stream, size_t streamSize) {
  if (!stream) return false;
  if (width && height) {
    const size_t need = PictureSize(width, height);
    if (!picture || need == 0 || pictureSize < need) return false;
  }
  try {
    std::unique_ptr<Decoder> d(new (std::nothrow) Decoder);
    return d && d->Run(picture, width, height, stream, streamSize);
  } catch (...) {
    return false;  // out of memory
  }
}

}  // namespace z9
