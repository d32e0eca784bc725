// Z9100LAp.exe, the camera application: the program the monitor starts when
// the camera's button is pressed while no program has the camera open, and
// the one the Start menu opens. It hosts the capture dialog (live video and
// all of its buttons) and saves every picture the dialog hands over as a .bmp
// in the user's picture folder. A second start brings the first to the front.
#include <windows.h>

#include "app_state.h"
#include "main_window.h"
#include "registry_view.h"
#include "single_instance.h"

using namespace z9app;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  z9::UniqueHandle mutex;
  if (!ClaimFirstInstance(&mutex)) {
    BringRunningCopyToFront(5000);
    return 0;
  }

  g_app.instance = instance;
  z9::SetRegistryViewFlag(z9::ComputeRegistryViewFlag());
  LoadAppTexts(&g_app.texts);

  char windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  if (length >= sizeof windows) windows[0] = '\0';
  if (!g_app.library.Load(CaptureLibraryPaths(windows, ProgramFolder()))) {
    MessageBoxA(nullptr, g_app.texts.noLibrary, g_app.texts.caption, MB_OK | MB_ICONERROR);
    return 2;
  }
  g_app.folder = PictureFolder();

  if (!RegisterMainWindow(instance)) return 3;
  g_app.window = CreateMainWindow(instance, g_app.texts.title);
  if (g_app.window == nullptr) return 3;
  ShowWindow(g_app.window, show == SW_HIDE ? SW_SHOWNORMAL : show);
  UpdateWindow(g_app.window);
  PostMessageA(g_app.window, kOpenDialogCommand, 0, 0);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    HWND dialog = DialogForMessage(msg);
    if (dialog != nullptr && IsDialogMessageA(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  // The window is gone and with it the dialog; the library may go now.
  g_app.library.Unload();
  return 0;
}
