// The two kernel-streaming property interfaces of the capture filter, as the
// SDK headers declare them, with their interface ids and the property sets
// converted to Windows GUIDs.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <strmif.h>
#include <ks.h>
#include <ksmedia.h>
#include <ksproxy.h>


#include "ks_requests.h"
#include "win_guid.h"

namespace z9::camprop {

// {28F54685-06FD-11D2-B27A-00A0C9223196}
inline constexpr IID kIidKsControl = {0x28F54685, 0x06FD, 0x11D2, {0xB2, 0x7A, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
// {31EFAC30-515C-11D0-A9AA-00AA0061BE93}
inline constexpr IID kIidKsPropertySet = {0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};


inline const GUID& VideoProcAmpSet() {
  static const GUID g = ToWinGuid(kPropSetVideoProcAmp);
  return g;
}
inline const GUID& CameraControlSet() {
  static const GUID g = ToWinGuid(kPropSetCameraControl);
  return g;
}
inline const GUID& ControlSet() {
  static const GUID g = ToWinGuid(kControlPropertySet);
  return g;
}
inline const GUID& ExtensionSet() {
  static const GUID g = ToWinGuid(kExtensionPropertySet);
  return g;
}

}  // namespace z9::camprop
