// What one polling cycle makes of the driver's raw button state: the
// suppression after a thread start and after every event, the count of
// unanswered polls, and what to do about the state.
#pragma once
#include <cstdint>

namespace z9mnt {

enum class ButtonEvent {
  None,
  Snapshot,  // post "Z9100MntSnapshot"
  Launch,    // post "Z9100MntLaunchap"
};

struct PollOutcome {
  uint8_t state = 0;              // the state after suppression
  const char* logLine = nullptr;  // the line to log, if any
  ButtonEvent event = ButtonEvent::None;
  bool pause = false;             // pause 200 ms after the cycle
  bool keepPolling = true;        // false after the tenth unanswered poll in a row
};

constexpr unsigned kMaxUnansweredPolls = 10;
constexpr unsigned kPauseAfterEventMs = 200;

// The polling state of one thread; a new thread starts a new one.
class ButtonPoller {
 public:
  PollOutcome Step(uint8_t raw);

 private:
  unsigned suppress_ = 0;
  unsigned unanswered_ = 0;
  bool firstPoll_ = true;
};

}  // namespace z9mnt
