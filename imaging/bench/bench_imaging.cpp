// Ours against the peers on the same input, one run. Prints Google
// Benchmark's table, then one row per comparison: our time, the peer's,
// and ours / peer (below 1.0: ours is faster).
//   imaging_bench [--benchmark_min_time=...]
#include <benchmark/benchmark.h>
#include <libyuv.h>
#include <turbojpeg.h>
extern "C" {
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "imaging/still.h"
#include "kernels.h"
#include "test_support.h"

namespace {

using z9::img::SimdLevel;
constexpr int kW = 640, kH = 480;

// A camera-like BGR scene: gradients, edges, texture and noise.
const std::vector<uint8_t>& Scene() {
  static const std::vector<uint8_t> p = [] {
    std::vector<uint8_t> v(static_cast<size_t>(kW) * kH * 3);
    const auto noise = z9::imgtest::RandomBytes(v.size(), 5);
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        const size_t i = (static_cast<size_t>(y) * kW + x) * 3;
        const bool edge = ((x / 41) + (y / 31)) % 2;
        v[i] = static_cast<uint8_t>(x * 255 / kW / 2 + 40 + (noise[i] & 15));
        v[i + 1] = static_cast<uint8_t>(edge ? 180 + (noise[i + 1] & 31) : y * 200 / kH);
        v[i + 2] = static_cast<uint8_t>(((x * x + y * 3) >> 6) & 255);
      }
    return v;
  }();
  return p;
}

std::vector<uint8_t> Jpeg(int sub) {
  tjhandle h = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  tjCompress2(h, Scene().data(), kW, 0, kH, TJPF_BGR, &out, &size, sub, 85, 0);
  std::vector<uint8_t> s(out, out + size);
  tjFree(out);
  tjDestroy(h);
  return s;
}

const std::vector<uint8_t>& Jpeg422() { static const auto s = Jpeg(TJSAMP_422); return s; }
const std::vector<uint8_t>& Jpeg420() { static const auto s = Jpeg(TJSAMP_420); return s; }
const std::vector<uint8_t>& Packed() {
  static const auto v = z9::imgtest::RandomBytes(z9::PackedPayloadSize(kW, kH), 7);
  return v;
}
const std::vector<uint8_t>& Planar() {
  static const auto v = z9::imgtest::RandomBytes(z9::I420PayloadSize(kW, kH), 8);
  return v;
}

struct Level {
  explicit Level(int64_t l) { z9::img::SetSimdLevel(static_cast<SimdLevel>(l)); }
  ~Level() { z9::img::SetSimdLevel(SimdLevel::kAvx2); }
};

void OursJpeg(benchmark::State& st, const std::vector<uint8_t>* s) {
  Level lv(st.range(0));
  std::vector<uint8_t> pic(z9::PictureSize(kW, kH));
  for (auto _ : st) {
    if (!z9::DecodeMjpgStill(pic.data(), pic.size(), kW, kH, s->data(), s->size())) st.SkipWithError("decode");
    benchmark::DoNotOptimize(pic.data());
  }
}

void TurboJpeg(benchmark::State& st, const std::vector<uint8_t>* s, int flags) {
  tjhandle h = tjInitDecompress();
  std::vector<uint8_t> pic(z9::PictureSize(kW, kH));
  for (auto _ : st) {
    tjDecompress2(h, s->data(), static_cast<unsigned long>(s->size()), pic.data(), kW, 0, kH, TJPF_BGR, flags);
    benchmark::DoNotOptimize(pic.data());
  }
  tjDestroy(h);
}

void OursYuy2(benchmark::State& st) {
  Level lv(st.range(0));
  std::vector<uint8_t> pic(z9::PictureSize(kW, kH));
  for (auto _ : st) {
    z9::ConvertYuy2(pic.data(), pic.size(), Packed().data(), Packed().size(), kW, kH);
    benchmark::DoNotOptimize(pic.data());
  }
}
void OursUyvy(benchmark::State& st) {
  Level lv(st.range(0));
  std::vector<uint8_t> pic(z9::PictureSize(kW, kH));
  for (auto _ : st) {
    z9::ConvertUyvy(pic.data(), pic.size(), Packed().data(), Packed().size(), kW, kH);
    benchmark::DoNotOptimize(pic.data());
  }
}
void OursI420(benchmark::State& st) {
  Level lv(st.range(0));
  std::vector<uint8_t> pic(z9::PictureSize(kW, kH));
  for (auto _ : st) {
    z9::ConvertI420(pic.data(), pic.size(), Planar().data(), Planar().size(), kW, kH);
    benchmark::DoNotOptimize(pic.data());
  }
}
void YuvYuy2(benchmark::State& st) {
  std::vector<uint8_t> argb(static_cast<size_t>(kW) * kH * 4);
  for (auto _ : st) {
    libyuv::YUY2ToARGB(Packed().data(), kW * 2, argb.data(), kW * 4, kW, kH);
    benchmark::DoNotOptimize(argb.data());
  }
}
void YuvUyvy(benchmark::State& st) {
  std::vector<uint8_t> argb(static_cast<size_t>(kW) * kH * 4);
  for (auto _ : st) {
    libyuv::UYVYToARGB(Packed().data(), kW * 2, argb.data(), kW * 4, kW, kH);
    benchmark::DoNotOptimize(argb.data());
  }
}
void YuvI420(benchmark::State& st) {
  std::vector<uint8_t> rgb(z9::PictureSize(kW, kH));
  const uint8_t* y = Planar().data();
  for (auto _ : st) {
    libyuv::I420ToRGB24(y, kW, y + kW * kH, kW / 2, y + kW * kH * 5 / 4, kW / 2, rgb.data(), kW * 3, kW, kH);
    benchmark::DoNotOptimize(rgb.data());
  }
}
void Memcpy(benchmark::State& st) {
  std::vector<uint8_t> a(z9::PictureSize(kW, kH), 1), b(a.size());
  for (auto _ : st) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
}

const std::vector<uint8_t>& SourceDib() {
  static const std::vector<uint8_t> d = [] {
    std::vector<uint8_t> v(z9::PictureDibSize(kW, kH));
    z9::WriteDibHeader(v.data(), v.size(), kW, kH);
    std::memcpy(v.data() + 40, Scene().data(), Scene().size());
    return v;
  }();
  return d;
}

void OursUpscale(benchmark::State& st) {
  Level lv(st.range(0));
  const uint32_t tw = static_cast<uint32_t>(st.range(1)), th = tw * 3 / 4;
  std::vector<uint8_t> dst(z9::PictureDibSize(tw, th));
  for (auto _ : st) {
    z9::UpscaleStill(SourceDib().data(), SourceDib().size(), kW, kH, dst.data(), dst.size(), tw, th);
    benchmark::DoNotOptimize(dst.data());
  }
}

void SwsUpscale(benchmark::State& st) {
  const int tw = static_cast<int>(st.range(0)), th = tw * 3 / 4;
  SwsContext* c = sws_getContext(kW, kH, AV_PIX_FMT_BGR24, tw, th, AV_PIX_FMT_BGR24, SWS_BICUBIC,
                                 nullptr, nullptr, nullptr);
  std::vector<uint8_t> dst(static_cast<size_t>(tw) * th * 3 + 64);
  const uint8_t* src[1] = {SourceDib().data() + 40};
  const int srcStride[1] = {kW * 3};
  uint8_t* dstp[1] = {dst.data()};
  const int dstStride[1] = {tw * 3};
  for (auto _ : st) {
    sws_scale(c, src, srcStride, 0, kH, dstp, dstStride);
    benchmark::DoNotOptimize(dst.data());
  }
  sws_freeContext(c);
}

// Keeps each run's CPU time per name for the ratio table (steadier than wall
// time on a shared machine; the single-threaded runs spend no time waiting).
class Collect : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (!r.error_occurred) times[r.benchmark_name()] = r.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

const char* kLevelNames[] = {"scalar", "sse2", "avx2"};

}  // namespace

int main(int argc, char** argv) {
  const int best = static_cast<int>(z9::img::DetectedSimdLevel());
  std::vector<int> levels;
  for (int l = best; l >= 0; --l) levels.push_back(l);
  auto withLevels = [&](benchmark::internal::Benchmark* b) {
    for (int l : levels) b->Arg(l);
    b->Unit(benchmark::kMicrosecond);
  };
  withLevels(benchmark::RegisterBenchmark("jpeg422/ours", OursJpeg, &Jpeg422()));
  benchmark::RegisterBenchmark("jpeg422/turbo", TurboJpeg, &Jpeg422(), 0)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("jpeg422/turbo-fastup", TurboJpeg, &Jpeg422(), TJFLAG_FASTUPSAMPLE)->Unit(benchmark::kMicrosecond);
  withLevels(benchmark::RegisterBenchmark("jpeg420/ours", OursJpeg, &Jpeg420()));
  benchmark::RegisterBenchmark("jpeg420/turbo", TurboJpeg, &Jpeg420(), 0)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("jpeg420/turbo-fastup", TurboJpeg, &Jpeg420(), TJFLAG_FASTUPSAMPLE)->Unit(benchmark::kMicrosecond);
  withLevels(benchmark::RegisterBenchmark("yuy2/ours", OursYuy2));
  benchmark::RegisterBenchmark("yuy2/libyuv", YuvYuy2)->Unit(benchmark::kMicrosecond);
  withLevels(benchmark::RegisterBenchmark("uyvy/ours", OursUyvy));
  benchmark::RegisterBenchmark("uyvy/libyuv", YuvUyvy)->Unit(benchmark::kMicrosecond);
  withLevels(benchmark::RegisterBenchmark("i420/ours", OursI420));
  benchmark::RegisterBenchmark("i420/libyuv", YuvI420)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("memcpy921600", Memcpy)->Unit(benchmark::kMicrosecond);
  for (int tw : {800, 1024, 1280}) {
    auto* b = benchmark::RegisterBenchmark(("upscale" + std::to_string(tw) + "/ours").c_str(), OursUpscale);
    for (int l : levels) b->Args({l, tw});
    b->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("upscale" + std::to_string(tw) + "/swscale").c_str(), SwsUpscale)
        ->Arg(tw)->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  Collect rep;
  benchmark::RunSpecifiedBenchmarks(&rep);

  auto t = [&](const std::string& n) {
    auto it = rep.times.find(n);
    return it == rep.times.end() ? -1.0 : it->second;
  };
  std::printf("\nCPU time per call, 640 x 480 input\n%-34s %-26s %10s %10s %8s\n", "ours", "peer",
              "ours us", "peer us", "ratio");
  auto row = [&](const std::string& ours, const std::string& peer) {
    const double a = t(ours), b = t(peer);
    if (a < 0 || b < 0) return;
    std::printf("%-34s %-26s %10.1f %10.1f %8.2f\n", ours.c_str(), peer.c_str(), a, b, a / b);
  };
  for (int l : levels) {
    const std::string L = "/" + std::to_string(l);
    std::printf("-- kernels: %s\n", kLevelNames[l]);
    row("jpeg422/ours" + L, "jpeg422/turbo");
    row("jpeg422/ours" + L, "jpeg422/turbo-fastup");
    row("jpeg420/ours" + L, "jpeg420/turbo");
    row("jpeg420/ours" + L, "jpeg420/turbo-fastup");
    row("yuy2/ours" + L, "yuy2/libyuv");
    row("yuy2/ours" + L, "memcpy921600");
    row("uyvy/ours" + L, "uyvy/libyuv");
    row("uyvy/ours" + L, "memcpy921600");
    row("i420/ours" + L, "i420/libyuv");
    row("i420/ours" + L, "memcpy921600");
    for (int tw : {800, 1024, 1280}) {
      const std::string u = "upscale" + std::to_string(tw);
      row(u + "/ours" + L + "/" + std::to_string(tw), u + "/swscale/" + std::to_string(tw));
    }
  }
  benchmark::Shutdown();
  return 0;
}
