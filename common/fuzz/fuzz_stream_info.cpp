// The running-stream answer (id 56): type at 24, width at 26, height at 28.
#include "fuzz_answer.h"
#include "ks_requests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t request[z9::kStreamInfoRequestSize];
  z9::BuildStreamInfoRequest(request);
  auto answer = z9fuzz::Answer(request, sizeof request, data, size);
  uint8_t buf[z9::kStreamInfoRequestSize];
  std::memcpy(buf, answer.get(), sizeof buf);
  const z9::StreamInfo info = z9::StreamInfoOfReply(buf);
  const uint8_t* a = answer.get();
  z9fuzz::Check(info.type == a[24]);
  z9fuzz::Check(info.width == z9fuzz::U16(a + 26));
  z9fuzz::Check(info.height == z9fuzz::U16(a + 28));
  if (size < 25) z9fuzz::Check(info.type == 0 && info.width == 0 && info.height == 0);
  return 0;
}
