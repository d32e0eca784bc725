// ControlInfo: the record of every request of the camera's own control set,
// and the property pages' per-control record.
#pragma once
#include <cstdint>

namespace z9 {

struct ControlInfo {
  int32_t Supported;     // 1 when the control exists
  int32_t Flags;         // 1 = automatic (on), 2 = manual (off)
  int32_t Capabilities;  // bit 0 auto possible, bit 1 manual possible, bit 2 auto is default
  int32_t Minimum;
  int32_t Maximum;
  int32_t Step;
  int32_t Default;
  int32_t Value;
};
static_assert(sizeof(ControlInfo) == 32, "ControlInfo travels as 32 bytes");

constexpr int32_t kControlFlagsAuto = 1;
constexpr int32_t kControlFlagsManual = 2;

}  // namespace z9
