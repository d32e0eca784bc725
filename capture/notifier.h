// What the capture code tells the user: message boxes with the library's
// caption, and the capture sound. Tests put a recorder in its place.
#pragma once
#include <windows.h>

namespace z9twn {

class Notifier {
 public:
  virtual ~Notifier() = default;
  // A box with the loaded caption (MsgCaption0); `flags` adds the icon.
  virtual void ShowMessage(HWND owner, const char* text, UINT flags) = 0;
  // "<Windows directory>\media\kaka.wav", played asynchronously.
  virtual void PlayCaptureSound() = 0;
};

// Message boxes and the sound as the user gets them.
class UserNotifier final : public Notifier {
 public:
  void ShowMessage(HWND owner, const char* text, UINT flags) override;
  void PlayCaptureSound() override;
};

}  // namespace z9twn
