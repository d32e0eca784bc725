#include "button_poller.h"

#include "ks_requests.h"

namespace z9mnt {

PollOutcome ButtonPoller::Step(uint8_t raw) {
  PollOutcome out;
  uint8_t state = raw;
  if (suppress_ > 0) {
    --suppress_;
    state = z9::kButtonNothing;
  }
  if (firstPoll_) {
    state = z9::kButtonNothing;
    suppress_ = 1;
    firstPoll_ = false;
  }
  out.state = state;

  switch (state) {
    case 1:
      out.logLine = "DEV_EVENT_1";
      out.event = ButtonEvent::Snapshot;
      break;
    case 2:
      out.logLine = "DEV_EVENT_2";
      break;
    case 3:
      out.logLine = "DEV_EVENT_3";
      break;
    case 11:
      out.logLine = "DEV_NOT_OPEN";
      out.event = ButtonEvent::Launch;
      break;
    case 99:
      out.logLine = "Error! Device no response.";
      break;
    default:
      break;
  }

  if (state == 1 || state == 2 || state == 3 || state == 11) {
    suppress_ = 1;
    unanswered_ = 0;
    out.pause = true;
  } else if (state == 99) {
    ++unanswered_;
  } else {
    unanswered_ = 0;
  }
  out.keepPolling = unanswered_ < kMaxUnansweredPolls;
  return out;
}

}  // namespace z9mnt
