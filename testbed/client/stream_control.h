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
  uint32_t format = 0;        // start format of new filter objects (index, see bench_stream.h)
  uint32_t faults = 0;        // Z9B_STREAM_FAIL_* / NO_DROPPED_FRAMES / ZERO_FRAME_TIME bits, at each call
};

bool SetStreamSettings(const StreamSettings& settings);
StreamSettings GetStreamSettings();
// Back to the defaults (the values are removed).
bool ResetStreamSettings();

}  // namespace z9bench
