// The button states the soak gives the bench camera, and the events the
// monitor must make of them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace z9soak {

// A script of `count` states in pushes of at most 64 (what one request to the
// bench takes), each push ending in state 0. Mix: about 45 % 0, 28 % 1,
// 3 % 11, 7 % 2, 7 % 3 and 10 % runs of one to four 99s. The 0 at the end
// of every push makes a poll of an empty queue (another 0) harmless: after
// a 0 nothing carries over to the next state. The same seed gives the same
// script.
std::vector<std::vector<uint8_t>> MakeButtonScript(size_t count, uint32_t seed);

struct EventAccount {
  int snapshots = 0;        // state 1 acted on: a capture command or an F2
  int launches = 0;         // state 11 acted on: a camera-application start
  int logged = 0;           // states 2 and 3 acted on (log line and pause only)
  bool threadEnds = false;  // ten unanswered polls in a row would end polling
};

// What a polling thread past its first two cycles makes of `states` read one
// per cycle, starting after a cycle that read 0: a cycle that follows an
// acted-on 1, 2, 3 or 11 reads as 0.
EventAccount ExpectedEvents(const std::vector<uint8_t>& states);

}  // namespace z9soak
