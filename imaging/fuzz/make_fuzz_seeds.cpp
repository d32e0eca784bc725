// Writes the fuzzers' seed folders: the test streams as they are (for the
// JPEG target) and wrapped in still buffers, with small stills of every
// other format (for the DecodeImage target). Also creates the corpus folders.
//   make_fuzz_seeds SEED_DIR CORPUS_DIR
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& data) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string seeds = argv[1], corpus = argv[2];
  for (const std::string& d : {seeds, seeds + "/fuzz_decode_image", seeds + "/fuzz_mjpg_still",
                               corpus, corpus + "/fuzz_decode_image", corpus + "/fuzz_mjpg_still"})
    mkdir(d.c_str(), 0755);
  using z9::imgtest::MakeStill;
  const struct {
    const char* name;
    uint32_t w, h;
  } streams[] = {{"grey", 64, 48},     {"s444", 64, 48},     {"s422", 64, 48},
                 {"s420", 64, 48},     {"s420_rst", 64, 48}, {"s422_rst", 64, 48},
                 {"s420_q100", 64, 48}, {"s420_q16", 64, 48}, {"s422_odd", 61, 45},
                 {"s420_big", 160, 120}};
  bool ok = true;
  for (const auto& s : streams) {
    auto jpg = z9::imgtest::TestFile(std::string(s.name) + ".jpg");
    if (jpg.empty()) return 1;
    ok &= Write(seeds + "/fuzz_mjpg_still/" + s.name + ".jpg", jpg);
    ok &= Write(seeds + "/fuzz_decode_image/" + s.name + ".still",
                MakeStill(z9::STICAP_MJPG, s.w, s.h, jpg));
  }
  const struct {
    uint8_t format;
    uint32_t w, h;
    size_t payload;
  } raw[] = {{z9::STICAP_RGB, 8, 4, 96},  {z9::STICAP_YUY2, 8, 4, 64}, {z9::STICAP_UYVY, 7, 3, 48},
             {z9::STICAP_I420, 7, 5, 67}, {z9::STICAP_JPG, 4, 4, 16}};
  for (const auto& r : raw)
    ok &= Write(seeds + "/fuzz_decode_image/format" + std::to_string(r.format) + ".still",
                MakeStill(r.format, r.w, r.h, z9::imgtest::RandomBytes(r.payload, r.format)));
  return ok ? 0 : 1;
}
