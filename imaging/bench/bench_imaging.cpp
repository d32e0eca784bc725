// Ours against the peers on the same input, one run. Prints the processor,
// Google Benchmark's table, then one row per comparison: our time, the
// peer's, and ours / peer (below 1.0: ours is faster).
//   imaging_bench [--z9-level=2|1|0] [--benchmark_min_time=...]
// --z9-level runs our kernels of that level only (2: AVX2, 1: SSE2, 0:
// scalar) and caps the peers the same way: libjpeg-turbo through its
// JSIMD_FORCESSE2 / JSIMD_FORCENONE switches (read once per process, hence
// one process per level), libyuv through MaskCpuFlags, libswscale through
// av_force_cpu_flags; at level 2 their AVX-512 paths are masked off too.
#include <benchmark/benchmark.h>
#include <libyuv.h>
#include <turbojpeg.h>
extern "C" {
#include <libavutil/cpu.h>
#include <libswscale/swscale.h>
}

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
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

std::vector<uint8_t> Jpeg(int sub, int quality) {
  tjhandle h = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  tjCompress2(h, Scene().data(), kW, 0, kH, TJPF_BGR, &out, &size, sub, quality, 0);
  std::vector<uint8_t> s(out, out + size);
  tjFree(out);
  tjDestroy(h);
  return s;
}

// The camera's streams come at quality 85 to 95: both ends.
const std::vector<uint8_t>& Jpeg422() { static const auto s = Jpeg(TJSAMP_422, 85); return s; }
const std::vector<uint8_t>& Jpeg420() { static const auto s = Jpeg(TJSAMP_420, 85); return s; }
const std::vector<uint8_t>& Jpeg422q95() { static const auto s = Jpeg(TJSAMP_422, 95); return s; }
const std::vector<uint8_t>& Jpeg420q95() { static const auto s = Jpeg(TJSAMP_420, 95); return s; }
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
// libyuv's way to 24-bit pixels from packed 4:2:2: to ARGB, then ARGB to
// 24-bit, each over the whole picture.
void YuvYuy2To24(benchmark::State& st) {
  std::vector<uint8_t> argb(static_cast<size_t>(kW) * kH * 4), rgb(z9::PictureSize(kW, kH));
  for (auto _ : st) {
    libyuv::YUY2ToARGB(Packed().data(), kW * 2, argb.data(), kW * 4, kW, kH);
    libyuv::ARGBToRGB24(argb.data(), kW * 4, rgb.data(), kW * 3, kW, kH);
    benchmark::DoNotOptimize(rgb.data());
  }
}
void YuvUyvyTo24(benchmark::State& st) {
  std::vector<uint8_t> argb(static_cast<size_t>(kW) * kH * 4), rgb(z9::PictureSize(kW, kH));
  for (auto _ : st) {
    libyuv::UYVYToARGB(Packed().data(), kW * 2, argb.data(), kW * 4, kW, kH);
    libyuv::ARGBToRGB24(argb.data(), kW * 4, rgb.data(), kW * 3, kW, kH);
    benchmark::DoNotOptimize(rgb.data());
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

// The processor's name and family/model/stepping as the system reports them.
void PrintCpu() {
  std::ifstream f("/proc/cpuinfo");
  std::string line, name, family, model, stepping;
  auto value = [](const std::string& l) {
    const size_t c = l.find(':');
    return c == std::string::npos ? std::string() : l.substr(c + 2);
  };
  while (std::getline(f, line) && (name.empty() || family.empty() || model.empty() || stepping.empty())) {
    if (line.rfind("model name", 0) == 0) name = value(line);
    else if (line.rfind("cpu family", 0) == 0) family = value(line);
    else if (line.rfind("model\t", 0) == 0) model = value(line);
    else if (line.rfind("stepping", 0) == 0) stepping = value(line);
  }
  std::printf("CPU: %s (family %s, model %s, stepping %s)\n", name.c_str(), family.c_str(), model.c_str(),
              stepping.c_str());
}

// Caps the peers at our level `level` (see the top of the file). Must run
// before the first libjpeg-turbo call, which reads its switches once.
void CapPeers(int level) {
  const int avx512 = libyuv::kCpuHasAVX512BW | libyuv::kCpuHasAVX512VL | libyuv::kCpuHasAVX512VNNI |
                     libyuv::kCpuHasAVX512VBMI | libyuv::kCpuHasAVX512VBMI2 |
                     libyuv::kCpuHasAVX512VBITALG | libyuv::kCpuHasAVX512VPOPCNTDQ;
  if (level >= 2) {
    libyuv::MaskCpuFlags(~avx512);
    av_force_cpu_flags(av_get_cpu_flags() & ~(AV_CPU_FLAG_AVX512 | AV_CPU_FLAG_AVX512ICL));
  } else if (level == 1) {
    setenv("JSIMD_FORCESSE2", "1", 1);
    libyuv::MaskCpuFlags(libyuv::kCpuInitialized | libyuv::kCpuHasX86 | libyuv::kCpuHasSSE2);
    av_force_cpu_flags(av_get_cpu_flags() & (AV_CPU_FLAG_MMX | AV_CPU_FLAG_MMXEXT | AV_CPU_FLAG_SSE |
                                             AV_CPU_FLAG_SSE2 | AV_CPU_FLAG_CMOV));
  } else {
    setenv("JSIMD_FORCENONE", "1", 1);
    libyuv::MaskCpuFlags(libyuv::kCpuInitialized);
    av_force_cpu_flags(0);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int best = static_cast<int>(z9::img::DetectedSimdLevel());
  std::vector<int> levels;
  for (int l = best; l >= 0; --l) levels.push_back(l);
  // Our own switch, taken out before Google Benchmark sees the arguments.
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--z9-level=", 11) != 0) continue;
    int l = std::atoi(argv[i] + 11);
    if (l > best) {
      std::printf("kernel level %s is not supported here\n", l >= 0 && l <= 2 ? kLevelNames[l] : "?");
      return 0;
    }
    if (l < 0) l = 0;
    levels = {l};
    CapPeers(l);
    for (int j = i; j + 1 < argc; ++j) argv[j] = argv[j + 1];
    --argc;
    --i;
  }
  PrintCpu();
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
  withLevels(benchmark::RegisterBenchmark("jpeg422q95/ours", OursJpeg, &Jpeg422q95()));
  benchmark::RegisterBenchmark("jpeg422q95/turbo", TurboJpeg, &Jpeg422q95(), 0)->Unit(benchmark::kMicrosecond);
  withLevels(benchmark::RegisterBenchmark("jpeg420q95/ours", OursJpeg, &Jpeg420q95()));
  benchmark::RegisterBenchmark("jpeg420q95/turbo", TurboJpeg, &Jpeg420q95(), 0)->Unit(benchmark::kMicrosecond);
  withLevels(benchmark::RegisterBenchmark("yuy2/ours", OursYuy2));
  benchmark::RegisterBenchmark("yuy2/libyuv-24", YuvYuy2To24)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("yuy2/libyuv-argb", YuvYuy2)->Unit(benchmark::kMicrosecond);
  withLevels(benchmark::RegisterBenchmark("uyvy/ours", OursUyvy));
  benchmark::RegisterBenchmark("uyvy/libyuv-24", YuvUyvyTo24)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("uyvy/libyuv-argb", YuvUyvy)->Unit(benchmark::kMicrosecond);
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
  std::printf("\n");
  PrintCpu();
  std::printf("CPU time per call, 640 x 480 input\n%-34s %-26s %10s %10s %8s\n", "ours", "peer",
              "ours us", "peer us", "ratio");
  auto row = [&](const std::string& ours, const std::string& peer) {
    const double a = t(ours), b = t(peer);
    if (a < 0 || b < 0) return;
    std::printf("%-34s %-26s %10.1f %10.1f %8.2f\n", ours.c_str(), peer.c_str(), a, b, a / b);
  };
  for (int l : levels) {
    const std::string L = "/" + std::to_string(l);
    std::printf("-- kernels: %s%s\n", kLevelNames[l],
                levels.size() == 1 ? (l == 2 ? ", peers without AVX-512"
                                      : l == 1 ? ", peers capped at SSE2" : ", peers without SIMD")
                                   : ", peers uncapped");
    row("jpeg422/ours" + L, "jpeg422/turbo");
    row("jpeg422/ours" + L, "jpeg422/turbo-fastup");
    row("jpeg420/ours" + L, "jpeg420/turbo");
    row("jpeg420/ours" + L, "jpeg420/turbo-fastup");
    row("jpeg422q95/ours" + L, "jpeg422q95/turbo");
    row("jpeg420q95/ours" + L, "jpeg420q95/turbo");
    row("yuy2/ours" + L, "yuy2/libyuv-24");
    row("yuy2/ours" + L, "yuy2/libyuv-argb");
    row("yuy2/ours" + L, "memcpy921600");
    row("uyvy/ours" + L, "uyvy/libyuv-24");
    row("uyvy/ours" + L, "uyvy/libyuv-argb");
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
