// The still-size answer (id 61): the 32-bit size at 24; a short answer
// leaves the zero sent, which the callers turn into their fallback.
#include "fuzz_answer.h"
#include "ks_requests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t request[z9::kStillSizeRequestSize];
  z9::BuildStillBufferSizeRequest(request);
  auto answer = z9fuzz::Answer(request, sizeof request, data, size);
  uint8_t buf[z9::kStillSizeRequestSize];
  std::memcpy(buf, answer.get(), sizeof buf);
  const uint32_t got = z9::StillBufferSizeOfReply(buf);
  z9fuzz::Check(got == z9fuzz::U32(answer.get() + 24));
  if (size < 25) z9fuzz::Check(got == 0);
  return 0;
}
