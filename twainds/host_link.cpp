#include "host_link.h"

#include <cstring>

namespace z9cam {

namespace {
constexpr char kClassName[] = "Z9100CamHost";
constexpr UINT kWakeMessage = WM_APP + 0x2A;
constexpr UINT_PTR kReminderTimer = 0x2A;
}  // namespace

bool HostLink::LibraryPath(HMODULE source, char (&path)[MAX_PATH]) {
  char own[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(source, own, sizeof own);
  if (n == 0 || n >= sizeof own) return false;
  char* slash = std::strrchr(own, '\\');
  if (slash == nullptr) return false;
  slash[1] = '\0';
  static const char kLibrary[] = "Z9100Twn.dll";
  if (std::strlen(own) + sizeof kLibrary > sizeof path) return false;
  std::strcpy(path, own);
  std::strcat(path, kLibrary);
  return true;
}

bool HostLink::Open(HMODULE source, HWND owner, HostEvents* events) {
  if (window_ != nullptr) return true;
  if (!library_) {
    char path[MAX_PATH];
    if (!LibraryPath(source, path)) return false;
    // By full path, so that no other copy on the search path is taken.
    library_.reset(LoadLibraryA(path));
    if (!library_) return false;
    create_ = reinterpret_cast<CreateFunction>(GetProcAddress(library_.get(), "CreateUIDlg"));
    remove_ = reinterpret_cast<RemoveFunction>(GetProcAddress(library_.get(), "RemoveUIDlg"));
    if (create_ == nullptr || remove_ == nullptr) {
      Unload();
      return false;
    }
  }
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = source;
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);  // fails harmlessly when already registered
  if (owner != nullptr && !IsWindow(owner)) owner = nullptr;
  events_ = events;
  window_ = CreateWindowExA(0, kClassName, "Z9100 camera source", WS_POPUP, 0, 0, 0, 0, owner, nullptr, source,
                            nullptr);
  if (window_ == nullptr) return false;
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  dialogOpen_ = true;
  create_(window_);
  return true;
}

void HostLink::Close() {
  if (dialogOpen_ && remove_ != nullptr) remove_();
  dialogOpen_ = false;
  if (window_ != nullptr) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    window_ = nullptr;
    // Wake-up messages still queued for the window die with it.
  }
  events_ = nullptr;
}

void HostLink::Unload() {
  Close();
  create_ = nullptr;
  remove_ = nullptr;
  library_.reset();
}

void HostLink::PostWake() const {
  if (window_ != nullptr) PostMessageA(window_, kWakeMessage, 0, 0);
}

void HostLink::RemindLater() const {
  if (window_ != nullptr) SetTimer(window_, kReminderTimer, 250, nullptr);
}

void HostLink::StopReminding() const {
  if (window_ != nullptr) KillTimer(window_, kReminderTimer);
}

bool HostLink::IsWake(const MSG& msg) const {
  return window_ != nullptr && msg.hwnd == window_ &&
         (msg.message == kWakeMessage || (msg.message == WM_TIMER && msg.wParam == kReminderTimer));
}

HWND HostLink::DialogOf(HWND hwnd) const {
  if (window_ == nullptr) return nullptr;
  // Walk up parents and owners until the step below the source's window.
  for (int depth = 0; hwnd != nullptr && depth < 32; ++depth) {
    HWND up = GetParent(hwnd);
    if (up == window_) return hwnd;
    hwnd = up;
  }
  return nullptr;
}

LRESULT CALLBACK HostLink::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HostLink* self = reinterpret_cast<HostLink*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  HostEvents* events = self != nullptr ? self->events_ : nullptr;
  if (msg == z9twn::WM_UIDLG_HOST) {
    switch (wParam) {
      case z9twn::HOST_IMAGE_INFO:
        if (events != nullptr && lParam != 0) {
          z9twn::ImageInfo info;
          std::memcpy(&info, reinterpret_cast<const void*>(lParam), sizeof info);
          events->OnImageInfo(info);
        }
        break;
      case z9twn::HOST_IMAGE_DIB: {
        HGLOBAL block = reinterpret_cast<HGLOBAL>(lParam);
        if (events != nullptr)
          events->OnPicture(block);
        else if (block != nullptr)
          GlobalFree(block);  // ours from now on, and nobody to give it to
        break;
      }
      case z9twn::HOST_CLOSE_REQUEST:
        if (events != nullptr) events->OnCloseRequest();
        break;
      default: break;
    }
    return 0;
  }
  if (msg == kWakeMessage || (msg == WM_TIMER && wParam == kReminderTimer)) {
    if (events != nullptr) events->OnWake();
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace z9cam
