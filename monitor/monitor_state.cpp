#include "monitor_state.h"

namespace z9mnt {

MonitorState& Monitor() {
  static MonitorState state;
  return state;
}

}  // namespace z9mnt
