// The description answers of a standard control: the 4-byte access flags,
// the 40-byte description, BASICSUPPORT (description, members header,
// stepping range; 72 bytes) and DEFAULTVALUES (60 bytes). Each reader gets a
// buffer of exactly its layout's length.
#include "fuzz_answer.h"
#include "ks_requests.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t zeros[z9::kBasicSupportSize] = {};
  {
    auto d = z9fuzz::Answer(zeros, z9::kDescriptionSize, data, size);
    const z9::PropertyDescription p = z9::DescriptionOfReply(d.get());
    z9fuzz::Check(p.accessFlags == z9fuzz::U32(d.get()));
    z9fuzz::Check(p.descriptionSize == z9fuzz::U32(d.get() + 4));
    z9fuzz::Check(p.membersListCount == z9fuzz::U32(d.get() + 32));
  }
  {
    auto b = z9fuzz::Answer(zeros, z9::kBasicSupportSize, data, size);
    const z9::SteppingRange s = z9::SteppingOfReply(b.get());
    const uint8_t* st = b.get() + 56;
    z9fuzz::Check(s.steppingDelta == z9fuzz::U32(st));
    z9fuzz::Check(s.minimum == z9fuzz::I32(st + 8));
    z9fuzz::Check(s.maximum == z9fuzz::I32(st + 12));
    // Written back through the writers, the same fields read the same.
    uint8_t again[z9::kBasicSupportSize];
    const z9::PropertyDescription p = z9::DescriptionOfReply(b.get());
    z9::PutDescription(again, p.accessFlags, p.descriptionSize, p.membersListCount);
    z9::PutMembersHeader(again + 40, 0, 0, 0, 0);
    z9::PutStepping(again + 56, s.steppingDelta, s.minimum, s.maximum);
    const z9::SteppingRange t = z9::SteppingOfReply(again);
    z9fuzz::Check(t.steppingDelta == s.steppingDelta && t.minimum == s.minimum && t.maximum == s.maximum);
  }
  {
    auto v = z9fuzz::Answer(zeros, z9::kDefaultValuesSize, data, size);
    z9fuzz::Check(z9::DefaultValueOfReply(v.get()) == z9fuzz::I32(v.get() + 56));
  }
  return 0;
}
