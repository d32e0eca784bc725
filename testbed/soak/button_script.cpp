#include "button_script.h"

#include <algorithm>
#include <random>

namespace z9soak {

namespace {

constexpr size_t kPushLimit = 64;
constexpr size_t kShortestPush = 16;

}  // namespace

std::vector<std::vector<uint8_t>> MakeButtonScript(size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::vector<uint8_t>> script;
  while (count > 0) {
    const size_t length =
        std::min(count, kShortestPush + static_cast<size_t>(rng() % (kPushLimit - kShortestPush + 1)));
    std::vector<uint8_t> push;
    push.reserve(length);
    while (push.size() + 1 < length) {
      const unsigned roll = rng() % 100;
      if (roll < 45) {
        push.push_back(0);
      } else if (roll < 73) {
        push.push_back(1);
      } else if (roll < 76) {
        push.push_back(11);
      } else if (roll < 83) {
        push.push_back(2);
      } else if (roll < 90) {
        push.push_back(3);
      } else {
        // One to four unanswered polls, then an answer.
        const size_t run = std::min<size_t>(1 + rng() % 4, length - 1 - push.size());
        push.insert(push.end(), run, 99);
        if (push.size() + 1 < length) push.push_back(0);
      }
    }
    push.push_back(0);
    count -= push.size();
    script.push_back(std::move(push));
  }
  return script;
}

EventAccount ExpectedEvents(const std::vector<uint8_t>& states) {
  EventAccount account;
  bool quiet = false;
  int unanswered = 0;
  for (uint8_t s : states) {
    if (quiet) {
      quiet = false;
      unanswered = 0;
      continue;
    }
    switch (s) {
      case 1:
      case 2:
      case 3:
      case 11:
        account.snapshots += s == 1;
        account.launches += s == 11;
        account.logged += s == 2 || s == 3;
        quiet = true;
        unanswered = 0;
        break;
      case 99:
        if (++unanswered >= 10) account.threadEnds = true;
        break;
      default:
        unanswered = 0;
        break;
    }
  }
  return account;
}

}  // namespace z9soak
