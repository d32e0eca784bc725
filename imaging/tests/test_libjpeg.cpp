// The decoder against libjpeg-turbo on the same streams (native build only).
//
// The two cannot agree exactly: the camera's decoder rounds every product of
// the inverse DCT to 16 bits on its own (libjpeg-turbo's accurate transform
// keeps sums of products and rounds once per pass), and its colour tables
// truncate each term toward zero where libjpeg-turbo rounds the sum. Both
// sides replicate chroma (TJFLAG_FASTUPSAMPLE), so upsampling adds nothing.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdio>
#include <cstring>

#include "test_support.h"

namespace z9 {
namespace {

// The largest per-sample differences allowed, for grey and for colour; the
// measured figures are printed by the tests. Grey differs by the transform's
// rounding alone: every product of the row pass is rounded at the output
// scale, up to about six rounded terms per sample, so up to 5 levels against
// an exact transform (libjpeg-turbo's is within 1). In colour the chroma
// errors are scaled by up to 1.772 in the colour step and added to the luma
// error, and the truncated tables add one or two levels more.
constexpr int kGreyBound = 5;
constexpr int kColourBound = 14;

struct Tj {
  tjhandle h = nullptr;
  explicit Tj(bool compress) { h = compress ? tjInitCompress() : tjInitDecompress(); }
  ~Tj() { tjDestroy(h); }
};

bool TurboDecode(const std::vector<uint8_t>& s, int* w, int* h, std::vector<uint8_t>* bgr) {
  Tj tj(false);
  int sub, cs;
  if (tjDecompressHeader3(tj.h, s.data(), static_cast<unsigned long>(s.size()), w, h, &sub, &cs))
    return false;
  bgr->resize(static_cast<size_t>(*w) * *h * 3);
  return tjDecompress2(tj.h, s.data(), static_cast<unsigned long>(s.size()), bgr->data(), *w, 0,
                       *h, TJPF_BGR, TJFLAG_FASTUPSAMPLE | TJFLAG_ACCURATEDCT) == 0;
}

struct Stats {
  int max = 0;
  double mean = 0;
};

Stats Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  Stats st;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const int d = std::abs(a[i] - b[i]);
    st.max = std::max(st.max, d);
    sum += d;
  }
  st.mean = a.empty() ? 0 : sum / a.size();
  return st;
}

void CheckStream(const std::string& label, const std::vector<uint8_t>& s, int* worst) {
  const bool grey = label.find("grey") != std::string::npos;
  int w, h;
  std::vector<uint8_t> ref;
  ASSERT_TRUE(TurboDecode(s, &w, &h, &ref)) << label << ": " << tjGetErrorStr();
  std::vector<uint8_t> ours(ref.size(), 0x5A);
  ASSERT_TRUE(DecodeMjpgStill(ours.data(), ours.size(), w, h, s.data(), s.size())) << label;
  const Stats st = Compare(ours, ref);
  std::printf("  %-28s %4dx%-4d max %d mean %.3f\n", label.c_str(), w, h, st.max, st.mean);
  EXPECT_LE(st.max, grey ? kGreyBound : kColourBound) << label;
  *worst = std::max(*worst, st.max);
}

TEST(Libjpeg, CommittedStreams) {
  int worst = 0;
  for (const char* name : {"grey", "s444", "s422", "s420", "s420_rst", "s422_rst", "s420_q100",
                           "s422_odd", "s420_big"})
    CheckStream(name, imgtest::TestFile(std::string(name) + ".jpg"), &worst);
  // 16-bit quantisation entries, relabelled SOF0 (see the portable test).
  auto q16 = imgtest::TestFile("s420_q16.jpg");
  for (size_t i = 0; i + 1 < q16.size(); ++i)
    if (q16[i] == 0xFF && q16[i + 1] == 0xC1) {
      q16[i + 1] = 0xC0;
      break;
    }
  CheckStream("s420_q16 (16-bit tables)", q16, &worst);
  std::printf("  worst difference: %d\n", worst);
}

// A camera-like scene: gradients, edges and noise, at the snapshot size.
std::vector<uint8_t> Scene(int w, int h) {
  std::vector<uint8_t> p(static_cast<size_t>(w) * h * 3);
  const auto noise = imgtest::RandomBytes(p.size(), 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* q = &p[(static_cast<size_t>(y) * w + x) * 3];
      const bool edge = ((x / 37) + (y / 29)) % 2;
      q[0] = static_cast<uint8_t>((x * 255 / w + (noise[q - p.data()] & 15)) & 255);
      q[1] = static_cast<uint8_t>(edge ? 220 : (y * 255 / h));
      q[2] = static_cast<uint8_t>(((x ^ y) & 64) ? 30 + (noise[q - p.data() + 1] & 31) : 200);
    }
  return p;
}

TEST(Libjpeg, SnapshotSizedStreamsAtManyQualities) {
  const int w = 640, h = 480;
  const auto scene = Scene(w, h);
  Tj tj(true);
  int worst = 0;
  const struct {
    int sub;
    const char* name;
  } subs[] = {{TJSAMP_444, "444"}, {TJSAMP_422, "422"}, {TJSAMP_420, "420"}, {TJSAMP_GRAY, "grey"}};
  for (const auto& sub : subs) {
    for (int q : {30, 75, 90, 100}) {
      unsigned char* jpeg = nullptr;
      unsigned long size = 0;
      ASSERT_EQ(0, tjCompress2(tj.h, scene.data(), w, 0, h, TJPF_BGR, &jpeg, &size, sub.sub, q,
                               TJFLAG_ACCURATEDCT));
      std::vector<uint8_t> s(jpeg, jpeg + size);
      tjFree(jpeg);
      CheckStream(std::string(sub.name) + " q" + std::to_string(q), s, &worst);
    }
  }
  std::printf("  worst difference: %d\n", worst);
}

}  // namespace
}  // namespace z9
