// The camera application's main window: host of the capture dialog (it
// answers the dialog's host messages), the last picture scaled to fit and the
// file it went to.
#pragma once
#include <windows.h>

namespace z9app {

// Private commands the window posts to itself.
constexpr UINT kOpenDialogCommand = WM_APP + 1;
constexpr UINT kCloseDialogCommand = WM_APP + 2;  // the dialog asked to close: the application ends

bool RegisterMainWindow(HINSTANCE instance);
HWND CreateMainWindow(HINSTANCE instance, const char* title);

// The window of a modeless capture dialog that `msg` is for, or nullptr; the
// message loop gives it the dialog's keyboard handling.
HWND DialogForMessage(const MSG& msg);

}  // namespace z9app
