// The answers that carry values of controls: the camera's control set
// (a ControlInfo record after the 24-byte header) and the standard sets'
// Value, Flags and Capabilities. Every field read where the layout puts it,
// and written back to the same bytes.
#include "fuzz_answer.h"
#include "ks_requests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    uint8_t request[z9::kControlRequestSize];
    z9::ControlInfo sent{};
    z9::BuildControlRequest(request, 2, z9::kKsPropertyTypeGet, sent);
    auto answer = z9fuzz::Answer(request, sizeof request, data, size);
    uint8_t buf[z9::kControlRequestSize];
    std::memcpy(buf, answer.get(), sizeof buf);
    const z9::ControlInfo c = z9::ControlInfoOfReply(buf);
    const uint8_t* r = answer.get() + 24;
    const int32_t fields[8] = {c.Supported, c.Flags, c.Capabilities, c.Minimum, c.Maximum, c.Step, c.Default, c.Value};
    for (int i = 0; i < 8; ++i) z9fuzz::Check(fields[i] == z9fuzz::I32(r + 4 * i));
    uint8_t again[32];
    z9::PutControlInfo(again, c);
    z9fuzz::Check(std::memcmp(again, r, sizeof again) == 0);
    // The reader of a record anywhere in a larger answer (the proxy's
    // header in front) reads the same.
    const z9::ControlInfo d = z9::GetControlInfo(r);
    z9fuzz::Check(std::memcmp(&c, &d, sizeof c) == 0);
  }
  {
    uint8_t request[z9::kStandardRequestSize];
    z9::BuildStandardRequest(request, z9::kPropSetVideoProcAmp, 0, z9::kKsPropertyTypeGet, {0, 0, 0});
    auto answer = z9fuzz::Answer(request, sizeof request, data, size);
    uint8_t buf[z9::kStandardRequestSize];
    std::memcpy(buf, answer.get(), sizeof buf);
    const z9::StandardControlValue v = z9::StandardValueOfReply(buf);
    z9fuzz::Check(v.value == z9fuzz::I32(answer.get() + 24));
    z9fuzz::Check(v.flags == z9fuzz::I32(answer.get() + 28));
    z9fuzz::Check(v.capabilities == z9fuzz::I32(answer.get() + 32));
  }
  return 0;
}
