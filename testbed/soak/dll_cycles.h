// Loads, uses and unloads of the three DLL deliverables in this process, as
// their hosts do: Z9100Twn.dll opens and removes the capture dialog on a
// window of the calling thread, Z9100Dex.dll makes a property page through
// its class factory and then answers that it can be unloaded, Z9100Rmv.dll is
// loaded and its entry looked up (running it would uninstall).
#pragma once
#include <windows.h>

#include <string>

namespace z9soak {

enum class DllKind { CaptureDialog, PropertyPages, Uninstaller };

constexpr DllKind kAllDlls[] = {DllKind::CaptureDialog, DllKind::PropertyPages, DllKind::Uninstaller};

const char* DllFileName(DllKind kind);

// One load, use and unload of `kind` from `folder`; `host` is the capture
// dialog's host window (of the calling thread). False with the reason in
// `error` when a step fails; the library is unloaded in every case.
bool CycleDll(DllKind kind, const std::string& folder, HWND host, std::string* error);

}  // namespace z9soak
