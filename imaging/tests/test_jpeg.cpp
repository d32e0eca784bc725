// The motion-JPEG decoder: real encoder streams against the encoder
// library's own decode, every kernel level against the scalar one, the
// header checks, and damaged or hostile streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "test_support.h"

namespace z9 {
namespace {

using imgtest::Guarded;

// Largest per-sample difference allowed from the reference decode, for grey
// and for colour streams (the reasons are in the libjpeg-turbo comparison).
constexpr int kGreyBound = 5;
constexpr int kColourBound = 14;

struct Stream {
  const char* name;
  uint32_t width, height;
};
const Stream kStreams[] = {{"grey", 64, 48},     {"s444", 64, 48},     {"s422", 64, 48},
                           {"s420", 64, 48},     {"s420_rst", 64, 48}, {"s422_rst", 64, 48},
                           {"s420_q100", 64, 48}, {"s420_q16", 64, 48}, {"s422_odd", 61, 45},
                           {"s420_big", 160, 120}};

// The encoder labels frames with 16-bit quantisation entries SOF1
// (extended sequential); the camera's decoder takes SOF0 frames only, so the
// test gives that stream the baseline label. Nothing else changes.
std::vector<uint8_t> LoadStream(const std::string& name) {
  auto s = imgtest::TestFile(name + ".jpg");
  if (name == "s420_q16") {
    for (size_t i = 0; i + 1 < s.size(); ++i)
      if (s[i] == 0xFF && s[i + 1] == 0xC1) {
        s[i + 1] = 0xC0;
        break;
      }
  }
  return s;
}

std::vector<uint8_t> Decode(const std::vector<uint8_t>& s, uint32_t w, uint32_t h, bool* ok) {
  std::vector<uint8_t> pic(PictureSize(w, h), 0x5A);
  *ok = DecodeMjpgStill(pic.data(), pic.size(), w, h, s.data(), s.size());
  return pic;
}

TEST(MjpgStill, RealStreamsAgreeWithTheReferenceDecode) {
  for (const Stream& st : kStreams) {
    const auto s = LoadStream(st.name);
    ASSERT_FALSE(s.empty()) << st.name;
    imgtest::Picture ref;
    ASSERT_TRUE(imgtest::ParsePpm(imgtest::TestFile(std::string(st.name) + ".ppm"), &ref));
    ASSERT_EQ(ref.width, st.width);
    ASSERT_EQ(ref.height, st.height);
    std::vector<uint8_t> scalar;
    for (auto level : imgtest::SupportedLevels()) {
      imgtest::ScopedLevel scoped(level);
      Guarded pic(PictureSize(st.width, st.height));
      ASSERT_TRUE(DecodeMjpgStill(pic.data(), pic.size(), st.width, st.height, s.data(), s.size()))
          << st.name << " " << imgtest::LevelName(level);
      EXPECT_TRUE(pic.GuardsIntact());
      EXPECT_LE(imgtest::MaxDiff(pic.data(), ref.bgr.data(), ref.bgr.size()),
                std::string(st.name) == "grey" ? kGreyBound : kColourBound)
          << st.name;
      if (scalar.empty())
        scalar.assign(pic.data(), pic.data() + pic.size());
      else
        EXPECT_EQ(0, std::memcmp(scalar.data(), pic.data(), pic.size()))
            << st.name << ": " << imgtest::LevelName(level) << " differs from scalar";
    }
  }
}

TEST(MjpgStill, ThroughDecodeImage) {
  const auto s = LoadStream("s422");
  auto still = imgtest::MakeStill(STICAP_MJPG, 64, 48, s);
  still.resize(still.size() + 100, 0);  // the driver's buffer is larger than the stream
  std::vector<uint8_t> pic(PictureSize(64, 48));
  StillResult r;
  EXPECT_EQ(DecodeImage(pic.data(), pic.size(), still.data(), still.size(), &r), 1);
  EXPECT_EQ(r, StillResult::kConverted);
  bool ok;
  EXPECT_EQ(pic, Decode(s, 64, 48, &ok));
  still[40 + 2] = 0xE1;  // APP1 right after the start of image
  Guarded untouched(PictureSize(64, 48), 0x33);
  EXPECT_EQ(DecodeImage(untouched.data(), untouched.size(), still.data(), still.size(), &r), 1);
  EXPECT_EQ(r, StillResult::kDecodeFailed);
  EXPECT_TRUE(untouched.AllEqual(0x33));
}

// ---- Streams built here, with small tables whose codes the tests know. ----

class BitWriter {
 public:
  void Put(uint32_t code, int len) {
    for (int i = len - 1; i >= 0; --i) {
      acc_ = acc_ << 1 | ((code >> i) & 1);
      if (++n_ == 8) Byte();
    }
  }
  std::vector<uint8_t> Finish() {
    while (n_) Put(1, 1);  // pad with ones
    return std::move(bytes_);
  }

 private:
  void Byte() {
    bytes_.push_back(static_cast<uint8_t>(acc_));
    if (static_cast<uint8_t>(acc_) == 0xFF) bytes_.push_back(0);
    acc_ = 0;
    n_ = 0;
  }
  std::vector<uint8_t> bytes_;
  uint32_t acc_ = 0;
  int n_ = 0;
};

// DC table: categories 0..11, 4-bit codes equal to the category.
// AC table: the symbols below, 3-bit codes equal to their index.
constexpr uint8_t kAcSymbols[] = {0x00, 0x01, 0xF0, 0xF1, 0x11};
enum AcCode { kEob = 0, kRun0Size1 = 1, kZrl = 2, kRun15Size1 = 3, kRun1Size1 = 4 };

void Segment(std::vector<uint8_t>& s, uint8_t code, const std::vector<uint8_t>& body) {
  s.push_back(0xFF);
  s.push_back(code);
  s.push_back(static_cast<uint8_t>((body.size() + 2) >> 8));
  s.push_back(static_cast<uint8_t>(body.size() + 2));
  s.insert(s.end(), body.begin(), body.end());
}

std::vector<uint8_t> DqtBody(uint8_t table, uint8_t dc, uint8_t ac) {
  std::vector<uint8_t> b{table};
  b.push_back(dc);
  for (int i = 1; i < 64; ++i) b.push_back(ac);
  return b;
}

std::vector<uint8_t> DcDhtBody(uint8_t table) {
  std::vector<uint8_t> b{table, 0, 0, 0, 12};
  b.resize(17, 0);
  for (uint8_t i = 0; i < 12; ++i) b.push_back(i);
  return b;
}

std::vector<uint8_t> AcDhtBody(uint8_t table) {
  std::vector<uint8_t> b{static_cast<uint8_t>(0x10 | table), 0, 0, sizeof kAcSymbols};
  b.resize(17, 0);
  b.insert(b.end(), std::begin(kAcSymbols), std::end(kAcSymbols));
  return b;
}

struct GreyOptions {
  uint32_t width = 32, height = 8;
  uint16_t restart = 0;
};

// A one-component stream around the given scan bytes; quantisation 8 for DC
// and 1 for AC.
// `acTable` replaces the AC table above when given.
std::vector<uint8_t> GreyStream(const GreyOptions& o, const std::vector<uint8_t>& scan,
                                const std::vector<uint8_t>* acTable = nullptr) {
  std::vector<uint8_t> s{0xFF, 0xD8};
  Segment(s, 0xDB, DqtBody(0, 8, 1));
  Segment(s, 0xC0, {8, uint8_t(o.height >> 8), uint8_t(o.height), uint8_t(o.width >> 8),
                    uint8_t(o.width), 1, 1, 0x11, 0});
  Segment(s, 0xC4, DcDhtBody(0));
  Segment(s, 0xC4, acTable ? *acTable : AcDhtBody(0));
  if (o.restart) Segment(s, 0xDD, {uint8_t(o.restart >> 8), uint8_t(o.restart)});
  Segment(s, 0xDA, {1, 1, 0x00, 0, 63, 0});
  s.insert(s.end(), scan.begin(), scan.end());
  s.push_back(0xFF);
  s.push_back(0xD9);
  return s;
}

// One block: DC difference +1, then the given AC codes (each size-1 symbol
// followed by a 1 bit), then end of block.
void Block(BitWriter& w, std::initializer_list<AcCode> ac = {}) {
  w.Put(1, 4);  // DC category 1
  w.Put(1, 1);  // +1
  for (AcCode c : ac) {
    w.Put(c, 3);
    if (c != kZrl) w.Put(1, 1);
  }
  w.Put(kEob, 3);
}

// A DC-only block of coefficient c is flat: P(0, P(0, 2c, 8192, 16), 8192, 16) + 128.
int FlatValue(int dcCoefficient) {
  auto p = [](int x) {
    int32_t sum = 2 * x * 8192 + 32768;
    if ((sum & 0xFFFF) == 0) sum &= ~0x10000;
    return sum >> 16;
  };
  return p(p(2 * dcCoefficient)) + 128;
}

TEST(MjpgStill, RestartIntervalResetsThePredictors) {
  // Four 8 x 8 MCUs, each DC difference +1 (coefficient 8 x predictor).
  auto scanWithRestarts = [](int interval) {
    std::vector<uint8_t> scan;
    BitWriter w;
    for (int m = 0; m < 4; ++m) {
      if (interval && m && m % interval == 0) {
        const auto seg = w.Finish();
        scan.insert(scan.end(), seg.begin(), seg.end());
        scan.push_back(0xFF);
        scan.push_back(static_cast<uint8_t>(0xD0 + (m / interval - 1) % 8));
        w = BitWriter();
      }
      Block(w);
    }
    const auto seg = w.Finish();
    scan.insert(scan.end(), seg.begin(), seg.end());
    return scan;
  };
  for (int interval : {0, 1, 2, 3}) {
    GreyOptions o;
    o.restart = static_cast<uint16_t>(interval);
    for (auto level : imgtest::SupportedLevels()) {
      imgtest::ScopedLevel scoped(level);
      bool ok;
      const auto pic = Decode(GreyStream(o, scanWithRestarts(interval)), 32, 8, &ok);
      ASSERT_TRUE(ok) << interval;
      for (int m = 0; m < 4; ++m) {
        const int pred = interval ? m % interval + 1 : m + 1;
        for (int y = 0; y < 8; ++y)
          for (int x = 0; x < 8; ++x)
            ASSERT_EQ(pic[(y * 32 + m * 8 + x) * 3 + 1], FlatValue(8 * pred))
                << "interval " << interval << " mcu " << m;
      }
    }
  }
  // A stream with an interval but without the marker between intervals.
  GreyOptions o;
  o.restart = 2;
  bool ok;
  Decode(GreyStream(o, scanWithRestarts(0)), 32, 8, &ok);
  EXPECT_FALSE(ok);
}

TEST(MjpgStill, ZeroRunsAndTheLastCoefficient) {
  // Three ZRL take k from 1 to 49; 13 coefficients, then a run of one
  // puts the last at 63: accepted.
  auto block = [](BitWriter& w, int singles) {
    std::vector<AcCode> ac{kZrl, kZrl, kZrl};
    ac.insert(ac.end(), singles, kRun0Size1);
    ac.push_back(kRun1Size1);
    w.Put(1, 4);
    w.Put(1, 1);
    for (AcCode c : ac) {
      w.Put(c, 3);
      if (c != kZrl) w.Put(1, 1);
    }
    if (singles < 13) w.Put(kEob, 3);
  };
  BitWriter w;
  block(w, 13);
  for (int m = 1; m < 4; ++m) Block(w);
  bool ok;
  Decode(GreyStream({}, w.Finish()), 32, 8, &ok);
  EXPECT_TRUE(ok);

  // One more coefficient puts the last at position 64: rejected.
  BitWriter bad;
  block(bad, 14);
  for (int m = 1; m < 4; ++m) Block(bad);
  Guarded pic(PictureSize(32, 8), 0x21);
  const auto s = GreyStream({}, bad.Finish());
  EXPECT_FALSE(DecodeMjpgStill(pic.data(), pic.size(), 32, 8, s.data(), s.size()));
  EXPECT_TRUE(pic.AllEqual(0x21));
}

TEST(MjpgStill, ZeroRunsPastTheLastCoefficientEndTheBlock) {
  // Four ZRL take the zigzag index from 1 past 64: the block ends there
  // without an end of block, and the next block starts at its DC code.
  BitWriter w;
  w.Put(1, 4);
  w.Put(1, 1);
  for (int i = 0; i < 4; ++i) w.Put(kZrl, 3);
  for (int m = 1; m < 4; ++m) Block(w);
  const auto s = GreyStream({}, w.Finish());
  for (auto level : imgtest::SupportedLevels()) {
    imgtest::ScopedLevel scoped(level);
    bool ok;
    const auto pic = Decode(s, 32, 8, &ok);
    ASSERT_TRUE(ok) << imgtest::LevelName(level);
    for (int m = 0; m < 4; ++m)
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          ASSERT_EQ(pic[(y * 32 + m * 8 + x) * 3], FlatValue(8 * (m + 1))) << imgtest::LevelName(level) << " " << m;
  }
  // Three ZRL reach 49; a run of 15 then puts a coefficient at 64: rejected.
  BitWriter bad;
  bad.Put(1, 4);
  bad.Put(1, 1);
  for (int i = 0; i < 3; ++i) bad.Put(kZrl, 3);
  bad.Put(kRun15Size1, 3);
  bad.Put(1, 1);
  for (int m = 1; m < 4; ++m) Block(bad);
  Guarded pic(PictureSize(32, 8), 0x21);
  const auto t = GreyStream({}, bad.Finish());
  EXPECT_FALSE(DecodeMjpgStill(pic.data(), pic.size(), 32, 8, t.data(), t.size()));
  EXPECT_TRUE(pic.AllEqual(0x21));
}

TEST(MjpgStill, LongAcCodesDecodeLikeShortOnes) {
  // The same coefficients through two AC tables: one with 3-bit codes, one
  // with a code of each length 1..13, where run 0 / size 1 and size 2 get
  // 12 and 13 bits (longer than one table look-up).
  const uint8_t symbols[] = {0x00, 0xF0, 0x11, 0x21, 0x31, 0x41, 0x51, 0x61, 0x71, 0x81, 0x91, 0x01, 0x02};
  std::vector<uint8_t> longTable{0x10};
  for (int len = 1; len <= 16; ++len) longTable.push_back(len <= 13 ? 1 : 0);
  longTable.insert(longTable.end(), std::begin(symbols), std::end(symbols));
  auto longCode = [&](BitWriter& w, uint8_t symbol) {
    const int len = static_cast<int>(std::find(std::begin(symbols), std::end(symbols), symbol) - symbols) + 1;
    w.Put(((1u << len) - 1) & ~1u, len);  // len - 1 ones, then a zero
  };
  const uint8_t shortSymbols[] = {0x00, 0xF0, 0x11, 0x01, 0x02};
  std::vector<uint8_t> shortTable{0x10, 0, 0, sizeof shortSymbols};
  shortTable.resize(17, 0);
  shortTable.insert(shortTable.end(), std::begin(shortSymbols), std::end(shortSymbols));
  auto shortCode = [&](BitWriter& w, uint8_t symbol) {
    w.Put(static_cast<uint32_t>(std::find(std::begin(shortSymbols), std::end(shortSymbols), symbol) - shortSymbols), 3);
  };
  // Per block: +1 at 1, -2 at 2, -1 at 4, a ZRL, -1 at 21, +3 at 22, end.
  auto scan = [](const std::function<void(BitWriter&, uint8_t)>& code) {
    BitWriter w;
    for (int m = 0; m < 4; ++m) {
      w.Put(1, 4);
      w.Put(1, 1);
      code(w, 0x01);
      w.Put(1, 1);
      code(w, 0x02);
      w.Put(1, 2);
      code(w, 0x11);
      w.Put(0, 1);
      code(w, 0xF0);
      code(w, 0x01);
      w.Put(0, 1);
      code(w, 0x02);
      w.Put(3, 2);
      code(w, 0x00);
    }
    return w.Finish();
  };
  const auto shortStream = GreyStream({}, scan(shortCode), &shortTable);
  const auto longStream = GreyStream({}, scan(longCode), &longTable);
  bool ok;
  const auto expected = Decode(shortStream, 32, 8, &ok);
  ASSERT_TRUE(ok);
  EXPECT_NE(expected, Decode(GreyStream({}, scan(shortCode)), 32, 8, &ok)) << "the AC terms show";
  for (auto level : imgtest::SupportedLevels()) {
    imgtest::ScopedLevel scoped(level);
    EXPECT_EQ(expected, Decode(shortStream, 32, 8, &ok)) << imgtest::LevelName(level);
    EXPECT_EQ(expected, Decode(longStream, 32, 8, &ok)) << imgtest::LevelName(level);
    EXPECT_TRUE(ok);
  }
}

// A 4:2:0 stream of `mcus` MCUs side by side (16 x 16 each), tables as in
// GreyStream for all three components: every luma DC difference +1, chroma
// DC 0, every block ended by an end of block.
std::vector<uint8_t> Stream420(int mcus) {
  std::vector<uint8_t> s{0xFF, 0xD8};
  Segment(s, 0xDB, DqtBody(0, 8, 1));
  const uint8_t w = static_cast<uint8_t>(16 * mcus);
  Segment(s, 0xC0, {8, 0, 16, 0, w, 3, 1, 0x22, 0, 2, 0x11, 0, 3, 0x11, 0});
  Segment(s, 0xC4, DcDhtBody(0));
  Segment(s, 0xC4, AcDhtBody(0));
  Segment(s, 0xDA, {3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0});
  BitWriter bits;
  for (int m = 0; m < mcus; ++m) {
    for (int b = 0; b < 4; ++b) Block(bits);
    for (int c = 0; c < 2; ++c) {
      bits.Put(0, 4);  // DC category 0
      bits.Put(kEob, 3);
    }
  }
  const auto scan = bits.Finish();
  s.insert(s.end(), scan.begin(), scan.end());
  s.push_back(0xFF);
  s.push_back(0xD9);
  return s;
}

TEST(MjpgStill, EndOfBlockAtTheEndOfALumaRowKeepsTheRowBelow) {
  // Two luma block rows per MCU row: the end of block of the last block of
  // the upper row must not touch the first block of the lower one, decoded
  // before it. Chroma 128: every sample is the luma value.
  const auto s = Stream420(2);
  for (auto level : imgtest::SupportedLevels()) {
    imgtest::ScopedLevel scoped(level);
    bool ok;
    const auto pic = Decode(s, 32, 16, &ok);
    ASSERT_TRUE(ok);
    for (int m = 0; m < 2; ++m)
      for (int b = 0; b < 4; ++b) {
        const int x0 = 16 * m + 8 * (b % 2), y0 = 8 * (b / 2);
        const int want = FlatValue(8 * (4 * m + b + 1));
        for (int y = y0; y < y0 + 8; ++y)
          for (int x = x0; x < x0 + 8; ++x)
            for (int c = 0; c < 3; ++c)
              ASSERT_EQ(pic[(y * 32 + x) * 3 + c], want) << imgtest::LevelName(level) << " mcu " << m << " block " << b;
      }
  }
}

TEST(MjpgStill, StuffedBytesAnywhereInTheScan) {
  // DC differences +2047 and -2047 (category 11, code 1011: then eleven one
  // bits, or eleven zero bits) put stuffed 0xFF 0x00 pairs a few bytes apart
  // at every position relative to the reader's refills, with and without
  // restart markers between them.
  for (int interval : {0, 5}) {
    GreyOptions o;
    o.width = 256;
    o.height = 16;
    o.restart = static_cast<uint16_t>(interval);
    std::vector<uint8_t> scan;
    BitWriter w;
    for (int m = 0; m < 64; ++m) {
      if (interval && m && m % interval == 0) {
        const auto seg = w.Finish();
        scan.insert(scan.end(), seg.begin(), seg.end());
        scan.push_back(0xFF);
        scan.push_back(static_cast<uint8_t>(0xD0 + (m / interval - 1) % 8));
        w = BitWriter();
      }
      // After a marker the predictor starts at 0 again: +1023 first.
      const bool up = interval ? (m % interval) % 2 == 0 : m % 2 == 0;
      w.Put(11, 4);
      w.Put(up ? 2047 : 0, 11);
      w.Put(kEob, 3);
    }
    const auto seg = w.Finish();
    scan.insert(scan.end(), seg.begin(), seg.end());
    const auto s = GreyStream(o, scan);
    ASSERT_GT(std::count(s.begin(), s.end(), 0xFF), 20);
    for (auto level : imgtest::SupportedLevels()) {
      imgtest::ScopedLevel scoped(level);
      bool ok;
      const auto pic = Decode(s, 256, 16, &ok);
      ASSERT_TRUE(ok) << interval << " " << imgtest::LevelName(level);
      for (int m = 0; m < 64; ++m) {
        const bool up = interval ? (m % interval) % 2 == 0 : m % 2 == 0;
        const int want = up ? 255 : FlatValue(0);
        const int x0 = (m % 32) * 8, y0 = (m / 32) * 8;
        for (int y = y0; y < y0 + 8; ++y)
          for (int x = x0; x < x0 + 8; ++x)
            ASSERT_EQ(pic[(y * 256 + x) * 3], want) << interval << " " << imgtest::LevelName(level) << " block " << m;
      }
    }
  }
}

TEST(MjpgStill, StuffedBytesBackToBackRefillInFull) {
  // AC codes: end of block "0", run 0 / size 15 "10". Twenty coefficients
  // +32767 per block ("10" and fifteen one bits, 17 bits each) make a scan
  // of mostly 0xFF 0x00 pairs: every refill meets them, and must still leave
  // room for the next two codes in full.
  std::vector<uint8_t> table{0x10, 1, 1};
  table.resize(17, 0);
  table.push_back(0x00);
  table.push_back(0x0F);
  BitWriter w;
  for (int m = 0; m < 8; ++m) {
    w.Put(0, 4);  // DC category 0
    for (int i = 0; i < 20; ++i) {
      w.Put(2, 2);
      w.Put(32767, 15);
    }
    w.Put(0, 1);
  }
  GreyOptions o;
  o.width = 64;
  const auto s = GreyStream(o, w.Finish(), &table);
  ASSERT_GT(std::count(s.begin(), s.end(), 0xFF), 150);
  // The expected block: zigzag indices 1..20 at 32767 (quantiser 1).
  static const uint8_t kNatural[21] = {0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40};
  alignas(32) int16_t block[64] = {};
  for (int i = 1; i <= 20; ++i) block[kNatural[i]] = 32767;
  uint8_t samples[64];
  img::ScalarKernels().idctBlocks(block, 1, samples, 8);
  for (auto level : imgtest::SupportedLevels()) {
    imgtest::ScopedLevel scoped(level);
    bool ok;
    const auto pic = Decode(s, 64, 8, &ok);
    ASSERT_TRUE(ok) << imgtest::LevelName(level);
    for (int m = 0; m < 8; ++m)
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          ASSERT_EQ(pic[(y * 64 + m * 8 + x) * 3], samples[y * 8 + x]) << imgtest::LevelName(level) << " block " << m;
  }
}

TEST(MjpgStill, CodesMatchingNoTableEntryFail) {
  // All one bits: no DC code of up to 16 bits starts with 1111.
  std::vector<uint8_t> scan;
  for (int i = 0; i < 16; ++i) {
    scan.push_back(0xFF);
    scan.push_back(0x00);
  }
  Guarded pic(PictureSize(32, 8), 0x21);
  const auto s = GreyStream({}, scan);
  EXPECT_FALSE(DecodeMjpgStill(pic.data(), pic.size(), 32, 8, s.data(), s.size()));
  EXPECT_TRUE(pic.AllEqual(0x21));
}

TEST(MjpgStill, FrameAndPictureOfDifferentSizes) {
  const auto s = LoadStream("s420");
  bool ok;
  const auto full = Decode(s, 64, 48, &ok);
  ASSERT_TRUE(ok);
  // A smaller picture gets the frame's top-left part, nothing else.
  Guarded small(PictureSize(40, 30));
  ASSERT_TRUE(DecodeMjpgStill(small.data(), small.size(), 40, 30, s.data(), s.size()));
  EXPECT_TRUE(small.GuardsIntact());
  for (int y = 0; y < 30; ++y)
    ASSERT_EQ(0, std::memcmp(small.data() + y * 120, full.data() + y * 192, 120)) << y;
  // An odd height: the last row has no partner for the chroma row it uses.
  Guarded odd(PictureSize(40, 29));
  ASSERT_TRUE(DecodeMjpgStill(odd.data(), odd.size(), 40, 29, s.data(), s.size()));
  EXPECT_TRUE(odd.GuardsIntact());
  for (int y = 0; y < 29; ++y)
    ASSERT_EQ(0, std::memcmp(odd.data() + y * 120, full.data() + y * 192, 120)) << y;
  // A larger picture: the frame lands top-left, the rest stays.
  Guarded large(PictureSize(100, 60), 0x44);
  ASSERT_TRUE(DecodeMjpgStill(large.data(), large.size(), 100, 60, s.data(), s.size()));
  EXPECT_TRUE(large.GuardsIntact());
  for (int y = 0; y < 60; ++y) {
    const uint8_t* row = large.data() + y * 300;
    if (y < 48) {
      ASSERT_EQ(0, std::memcmp(row, full.data() + y * 192, 192)) << y;
    }
    for (int x = (y < 48 ? 192 : 0); x < 300; ++x) ASSERT_EQ(row[x], 0x44) << y << " " << x;
  }
  // A picture buffer too small for its own size.
  Guarded tiny(PictureSize(64, 48) - 1, 0x44);
  EXPECT_FALSE(DecodeMjpgStill(tiny.data(), tiny.size(), 64, 48, s.data(), s.size()));
  EXPECT_TRUE(tiny.AllEqual(0x44));
}

TEST(MjpgStill, OddFrameSizeIsCroppedToThePicture) {
  // 61 x 45 in 16 x 8 MCUs: the decoder works over 64 x 48 and writes 61 x 45.
  const auto s = LoadStream("s422_odd");
  Guarded pic(PictureSize(61, 45));
  ASSERT_TRUE(DecodeMjpgStill(pic.data(), pic.size(), 61, 45, s.data(), s.size()));
  EXPECT_TRUE(pic.GuardsIntact());
}

// ---- Header checks: the stream is refused and the picture untouched. ----

struct Seg {
  size_t pos;  // of the 0xFF
  uint8_t code;
  size_t len;  // including the length bytes
};

std::vector<Seg> Segments(const std::vector<uint8_t>& s) {
  std::vector<Seg> out;
  size_t pos = 2;
  while (pos + 4 <= s.size() && s[pos] == 0xFF) {
    const uint8_t code = s[pos + 1];
    const size_t len = static_cast<size_t>(s[pos + 2] << 8 | s[pos + 3]);
    out.push_back({pos, code, len});
    if (code == 0xDA) break;
    pos += 2 + len;
  }
  return out;
}

std::vector<uint8_t> ReplaceSegment(const std::vector<uint8_t>& s, uint8_t code,
                                    const std::vector<uint8_t>& body, int which = 0) {
  for (const Seg& g : Segments(s)) {
    if (g.code != code || which-- > 0) continue;
    std::vector<uint8_t> out(s.begin(), s.begin() + g.pos);
    Segment(out, code, body);
    out.insert(out.end(), s.begin() + g.pos + 2 + g.len, s.end());
    return out;
  }
  ADD_FAILURE() << "no segment " << int(code);
  return s;
}

std::vector<uint8_t> SegmentBody(const std::vector<uint8_t>& s, uint8_t code, int which = 0) {
  for (const Seg& g : Segments(s))
    if (g.code == code && which-- == 0)
      return std::vector<uint8_t>(s.begin() + g.pos + 4, s.begin() + g.pos + 2 + g.len);
  return {};
}

void ExpectRefused(const std::vector<uint8_t>& s, const char* what) {
  Guarded pic(PictureSize(64, 48), 0x66);
  EXPECT_FALSE(DecodeMjpgStill(pic.data(), pic.size(), 64, 48, s.data(), s.size())) << what;
  EXPECT_TRUE(pic.AllEqual(0x66)) << what;
}

TEST(MjpgStill, HeaderFailuresLeaveThePictureUntouched) {
  const auto good = LoadStream("s420");
  bool ok;
  Decode(good, 64, 48, &ok);
  ASSERT_TRUE(ok);
  auto insertAfterSoi = [&](uint8_t code) {
    std::vector<uint8_t> s(good.begin(), good.begin() + 2);
    Segment(s, code, {'x', 'y', 'z'});
    s.insert(s.end(), good.begin() + 2, good.end());
    return s;
  };
  ExpectRefused(insertAfterSoi(0xE1), "APP1 before the scan");
  ExpectRefused(insertAfterSoi(0xFE), "comment before the scan");
  ExpectRefused(imgtest::TestFile("s420_q16.jpg"), "SOF1 frame");
  ExpectRefused({0xFF, 0xD9}, "no start of image");
  ExpectRefused({}, "empty");

  const auto sof = SegmentBody(good, 0xC0);
  ASSERT_EQ(sof.size(), 15u);
  auto withSof = [&](auto edit) {
    auto b = sof;
    edit(b);
    return ReplaceSegment(good, 0xC0, b);
  };
  ExpectRefused(withSof([](auto& b) { b[0] = 12; }), "precision 12");
  ExpectRefused(withSof([](auto& b) { b[5] = 2; b.resize(12); }), "two components");
  ExpectRefused(withSof([](auto& b) { b[12] = static_cast<uint8_t>(b[9] + 2); }),
                "non-consecutive identifiers");
  ExpectRefused(withSof([](auto& b) { b[7] = 0x32; }), "sampling factor 3");
  ExpectRefused(withSof([](auto& b) { b[7] = 0x12; }), "luma 1 x 2");
  ExpectRefused(withSof([](auto& b) { b[10] = 0x21; }), "chroma 2 x 1");
  ExpectRefused(withSof([](auto& b) { b[8] = 4; }), "quantisation table 4");
  ExpectRefused(withSof([](auto& b) { b[8] = 3; }), "quantisation table never defined");
  ExpectRefused(withSof([](auto& b) { b[1] = b[2] = 0; }), "height 0");

  const auto dht = SegmentBody(good, 0xC4);
  ASSERT_GE(dht.size(), 17u);
  auto withDht = [&](auto edit) {
    auto b = dht;
    edit(b);
    return ReplaceSegment(good, 0xC4, b);
  };
  ExpectRefused(withDht([](auto& b) {
                  b.resize(17);
                  b[16] = 255;
                  b[15] = 2;  // 257 codes
                  b.resize(17 + 257, 0);
                }),
                "too many Huffman codes");
  // Three 1-bit codes (the total count unchanged).
  ExpectRefused(withDht([](auto& b) {
                  b[1] = 3;
                  b[3] = static_cast<uint8_t>(b[3] - 3);
                }),
                "codes overflow their length");
  ExpectRefused(withDht([](auto& b) { b[0] = static_cast<uint8_t>((b[0] & 0xF0) | 4); }),
                "Huffman table 4");
  ExpectRefused(withDht([](auto& b) { b.pop_back(); }), "values past the segment");

  const auto dqt = SegmentBody(good, 0xDB);
  ExpectRefused(ReplaceSegment(good, 0xDB, [&] { auto b = dqt; b[0] = 4; return b; }()),
                "DQT table 4");

  const auto sos = SegmentBody(good, 0xDA);
  ASSERT_EQ(sos.size(), 10u);
  auto withSos = [&](auto edit) {
    auto b = sos;
    edit(b);
    return ReplaceSegment(good, 0xDA, b);
  };
  ExpectRefused(withSos([](auto& b) { b[2] = 0x40; }), "DC table 4");
  ExpectRefused(withSos([](auto& b) { b[2] = 0x02; }), "AC table never defined");
  ExpectRefused(withSos([](auto& b) { b[3] = 0x77; }), "selector of no component");
  ExpectRefused(withSos([](auto& b) { b[0] = 1; b.erase(b.begin() + 3, b.begin() + 7); }),
                "scan of one component");
  // SOS before any frame header.
  {
    std::vector<uint8_t> s(good.begin(), good.begin() + 2);
    Segment(s, 0xDA, sos);
    s.insert(s.end(), good.begin() + 2, good.end());
    ExpectRefused(s, "scan before frame");
  }
}

// ---- Damaged streams: never a read or write outside the buffers. ----

TEST(MjpgStill, TruncatedStreamsFailOrDecodeWhole) {
  for (const char* name : {"s420_rst", "s422", "grey"}) {
    const auto s = LoadStream(name);
    bool ok;
    const auto full = Decode(s, 64, 48, &ok);
    ASSERT_TRUE(ok);
    for (size_t n = 0; n < s.size(); ++n) {
      // An exact-size copy, so that the sanitizer sees any read past it.
      std::vector<uint8_t> cut(s.begin(), s.begin() + n);
      Guarded pic(PictureSize(64, 48), 0x5A);
      if (DecodeMjpgStill(pic.data(), pic.size(), 64, 48, cut.data(), cut.size())) {
        // Only the end-of-image marker may be missing.
        ASSERT_GE(n, s.size() - 2) << name << " " << n;
        ASSERT_EQ(0, std::memcmp(pic.data(), full.data(), full.size()));
      } else {
        ASSERT_TRUE(pic.AllEqual(0x5A)) << name << " " << n;
      }
      ASSERT_TRUE(pic.GuardsIntact());
    }
  }
}

TEST(MjpgStill, CorruptedScanBytes) {
  const auto good = LoadStream("s420_rst");
  const auto segs = Segments(good);
  const size_t scan = segs.back().pos + 2 + segs.back().len;
  const auto noise = imgtest::RandomBytes(4000, 77);
  for (int i = 0; i < 1000; ++i) {
    auto s = good;
    for (int k = 0; k < 1 + i % 4; ++k) {
      const size_t at = scan + noise[(4 * i + k) % noise.size()] * 7 % (s.size() - scan);
      s[at] = noise[(4 * i + k + 1) % noise.size()];
    }
    Guarded pic(PictureSize(64, 48), 0x5A);
    if (!DecodeMjpgStill(pic.data(), pic.size(), 64, 48, s.data(), s.size())) {
      ASSERT_TRUE(pic.AllEqual(0x5A));
    }
    ASSERT_TRUE(pic.GuardsIntact());
  }
}

TEST(MjpgStill, HugeFrameWithShortScanFailsQuickly) {
  GreyOptions o;
  o.width = 65535;
  o.height = 65535;
  BitWriter w;
  for (int m = 0; m < 10; ++m) Block(w);
  const auto s = GreyStream(o, w.Finish());
  Guarded pic(PictureSize(640, 480));
  EXPECT_FALSE(DecodeMjpgStill(pic.data(), pic.size(), 640, 480, s.data(), s.size()));
  EXPECT_TRUE(pic.AllEqual(0x5A));
}

}  // namespace
}  // namespace z9
