#include "module_state.h"

namespace z9twn {

TwnModule& Module() {
  static TwnModule module = [] {
    TwnModule m;
    UseDefaultGrabTexts(&m.texts);
    lstrcpynA(m.deviceName, kDefaultDeviceName, sizeof m.deviceName);
    return m;
  }();
  return module;
}

}  // namespace z9twn
