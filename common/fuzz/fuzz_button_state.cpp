// The button-state answer (id 32): the state byte at 24, whatever else the
// driver wrote; a short answer leaves the preset "no response" (99).
#include "fuzz_answer.h"
#include "ks_requests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t request[z9::kButtonRequestSize];
  z9::BuildButtonStateRequest(request);
  auto answer = z9fuzz::Answer(request, sizeof request, data, size);
  uint8_t buf[z9::kButtonRequestSize];
  std::memcpy(buf, answer.get(), sizeof buf);
  const uint8_t state = z9::ButtonStateOfReply(buf);
  z9fuzz::Check(state == (size > 24 ? data[24] : 99));
  return 0;
}
