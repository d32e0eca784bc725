// Steering the stand-in capture filter's video stream (include/bench_stream.h):
// whether new filter objects have a preview pin, and the dropped-frame counts.
#pragma once
#include <cstdint>

#include "bench_stream.h"

namespace z9bench {

struct StreamSettings {
  bool previewPin = true;     // read when a filter object is created
  uint32_t droppedOffset = 0; // added to every dropped-frame count, at each query
  uint32_t dropEvery = 0;     // every Nth frame is dropped (0: none), read at stream start
};

bool SetStreamSettings(const StreamSettings& settings);
StreamSettings GetStreamSettings();
// Back to the defaults (the values are removed).
bool ResetStreamSettings();

}  // namespace z9bench
