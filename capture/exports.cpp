// The library's two exports and its entry point.
#include <windows.h>
#include <commctrl.h>

#include <new>
#include <utility>

#include "capture_dialog.h"
#include "module_state.h"
#include "monitor_link.h"

namespace {
constexpr DWORD kInactiveDelayMs = 1000;
z9twn::UserNotifier g_notifier;
}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    z9twn::Module().instance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

__declspec(dllexport) int __cdecl CreateUIDlg(HWND host) {
  z9twn::TwnModule& m = z9twn::Module();
  InitCommonControls();
  // One dialog at a time: an older one is taken down completely first.
  if (m.current != nullptr) z9twn::CaptureDialog::Destroy(std::exchange(m.current, nullptr));
  z9twn::CaptureDialog* dialog = new (std::nothrow) z9twn::CaptureDialog(host, &g_notifier);
  if (dialog == nullptr) return 0;
  m.current = dialog;
  dialog->Hold();
  HWND window = dialog->Create();
  if (dialog->Release()) return 0;  // the host removed it while it started
  if (window == nullptr) {
    m.current = nullptr;
    delete dialog;
    return 0;
  }
  return z9twn::PostToMonitor(z9twn::kTwnActiveMessage, reinterpret_cast<LPARAM>(window));
}

__declspec(dllexport) int __cdecl RemoveUIDlg() {
  z9twn::TwnModule& m = z9twn::Module();
  z9twn::CaptureDialog::Destroy(std::exchange(m.current, nullptr));
  Sleep(kInactiveDelayMs);
  return z9twn::PostToMonitor(z9twn::kTwnInactiveMessage, 0);
}

}  // extern "C"
