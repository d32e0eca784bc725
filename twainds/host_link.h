// The source's window for the capture dialog: it loads Z9100Twn.dll from the
// source's own folder, opens the dialog on itself with CreateUIDlg and takes
// the dialog's WM_USER + 200 messages (image information, pictures, close
// request). It also carries the source's own wake-up message to the
// application's message loop.
#pragma once
#include <windows.h>

#include "host_protocol.h"
#include "win_handles.h"

namespace z9cam {

class HostEvents {
 public:
  virtual void OnImageInfo(const z9twn::ImageInfo& info) = 0;
  virtual void OnPicture(HGLOBAL block) = 0;  // the block belongs to the receiver
  virtual void OnCloseRequest() = 0;
  virtual void OnWake() = 0;  // the wake-up message reached the window itself

 protected:
  ~HostEvents() = default;
};

class HostLink {
 public:
  // The full path of Z9100Twn.dll beside the module `source`.
  static bool LibraryPath(HMODULE source, char (&path)[MAX_PATH]);

  // Loads the library (once), creates the window (owned by `owner`) and opens
  // the dialog. False when the library or its exports cannot be found or the
  // window cannot be made; nothing is left open then.
  bool Open(HMODULE source, HWND owner, HostEvents* events);
  // Closes the dialog (RemoveUIDlg) and the window; the library stays loaded.
  void Close();
  // Frees the library as well.
  void Unload();

  bool IsOpen() const { return window_ != nullptr; }
  HWND Window() const { return window_; }
  // Posts the wake-up message to the window.
  void PostWake() const;
  bool IsWake(const MSG& msg) const;
  // A wake-up that reached the window without passing the application's
  // DAT_EVENT is repeated by a timer until a notice has been taken.
  void RemindLater() const;
  void StopReminding() const;
  // The top-level window of the dialog that `hwnd` belongs to, if any.
  HWND DialogOf(HWND hwnd) const;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  using CreateFunction = int(__cdecl*)(HWND);
  using RemoveFunction = int(__cdecl*)();
  z9::UniqueModule library_;
  CreateFunction create_ = nullptr;
  RemoveFunction remove_ = nullptr;
  HWND window_ = nullptr;
  HostEvents* events_ = nullptr;
  bool dialogOpen_ = false;
};

}  // namespace z9cam
