#include "notifier.h"

#include <mmsystem.h>

#include "module_state.h"

namespace z9twn {

void UserNotifier::ShowMessage(HWND owner, const char* text, UINT flags) {
  MessageBoxA(owner, text, Module().texts.msgCaption0, MB_OK | flags);
}

void UserNotifier::PlayCaptureSound() {
  char path[128 + 32] = {};
  const UINT n = GetWindowsDirectoryA(path, 128);
  if (n == 0 || n >= 128) return;
  lstrcatA(path, "\\media\\kaka.wav");
  sndPlaySoundA(path, SND_ASYNC);
}

}  // namespace z9twn
