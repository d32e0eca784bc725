// Process-wide state of Z9100Twn, gathered in one place: the module handle,
// the current dialog, the device name and the loaded texts. Everything runs
// on the host's user-interface thread; nothing here is locked.
#pragma once
#include <windows.h>

#include "grab_texts.h"

namespace z9twn {

class CaptureDialog;

constexpr size_t kDeviceNameSize = 260;
constexpr char kDefaultDeviceName[] = "Opticam, Q7710C USB Camera";

struct TwnModule {
  HINSTANCE instance = nullptr;
  CaptureDialog* current = nullptr;  // set by CreateUIDlg, cleared by RemoveUIDlg
  char deviceName[kDeviceNameSize] = {};
  GrabTexts texts = {};
};

TwnModule& Module();

}  // namespace z9twn
