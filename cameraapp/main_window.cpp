#include "main_window.h"

#include <cstring>
#include <string>

#include "app_state.h"
#include "single_instance.h"

namespace z9app {

namespace {

constexpr int kMargin = 8;
constexpr int kLabelHeight = 64;
constexpr int kLabelId = 100;
// Beside the capture dialog, which stands at (8, 8) and is up to 674 wide.
constexpr int kWindowX = 690;
constexpr int kWindowY = 8;
constexpr int kWindowWidth = 320;
constexpr int kWindowHeight = 340;

RECT PictureArea(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  RECT area = {kMargin, kMargin, client.right - kMargin, client.bottom - kLabelHeight - kMargin};
  if (area.right < area.left) area.right = area.left;
  if (area.bottom < area.top) area.bottom = area.top;
  return area;
}

void ShowPathText() {
  if (g_app.pathLabel == nullptr) return;
  const std::string text =
      g_app.hasPicture ? std::string(g_app.texts.lastPicture) + "\r\n" + g_app.lastPath : g_app.texts.noPicture;
  SetWindowTextA(g_app.pathLabel, text.c_str());
}

void LayOut(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  if (g_app.pathLabel != nullptr)
    MoveWindow(g_app.pathLabel, kMargin, client.bottom - kLabelHeight, client.right - 2 * kMargin,
               kLabelHeight - kMargin, TRUE);
  InvalidateRect(window, nullptr, TRUE);
}

// The picture scaled into the area, its proportions kept, centred.
void PaintPicture(HDC dc, const RECT& area) {
  const BITMAPINFOHEADER& h = g_app.last.header;
  const int width = h.biWidth;
  const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  const int areaWidth = area.right - area.left;
  const int areaHeight = area.bottom - area.top;
  if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return;
  int drawWidth = areaWidth;
  int drawHeight = MulDiv(height, areaWidth, width);
  if (drawHeight > areaHeight) {
    drawHeight = areaHeight;
    drawWidth = MulDiv(width, areaHeight, height);
  }
  const int x = area.left + (areaWidth - drawWidth) / 2;
  const int y = area.top + (areaHeight - drawHeight) / 2;
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchDIBits(dc, x, y, drawWidth, drawHeight, 0, 0, width, height, g_app.last.pixels.data(),
                reinterpret_cast<const BITMAPINFO*>(&g_app.last.header), DIB_RGB_COLORS, SRCCOPY);
}

void SavePicture(HGLOBAL block) {
  Picture picture;
  if (!TakePictureBlock(block, &picture)) {
    SetWindowTextA(g_app.pathLabel, g_app.texts.notSaved);
    return;
  }
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  std::string path;
  if (SaveNewFile(g_app.folder, now, &g_app.counter, BmpFileBytes(picture), &path) != SaveResult::kSaved) {
    SetWindowTextA(g_app.pathLabel, g_app.texts.notSaved);
    return;
  }
  g_app.last = std::move(picture);
  g_app.lastPath = path;
  g_app.hasPicture = true;
  ShowPathText();
  InvalidateRect(g_app.window, nullptr, TRUE);
}

void OnHostMessage(HWND window, WPARAM code, LPARAM lParam) {
  switch (code) {
    case z9twn::HOST_IMAGE_INFO:
      if (lParam != 0) {
        std::memcpy(&g_app.info, reinterpret_cast<const void*>(lParam), sizeof g_app.info);
        g_app.hasInfo = true;
      }
      break;
    case z9twn::HOST_IMAGE_DIB: SavePicture(reinterpret_cast<HGLOBAL>(lParam)); break;
    case z9twn::HOST_CLOSE_REQUEST:
      // The dialog is removed once its own call has returned.
      PostMessageA(window, kCloseDialogCommand, 0, 0);
      break;
    default: break;
  }
}

// The dialog goes first: it is owned by this window and must not be taken
// down with it behind the library's back.
void CloseApplication(HWND window) {
  g_app.library.RemoveDialog();
  DestroyWindow(window);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      g_app.pathLabel = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0,
                                        window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLabelId)),
                                        g_app.instance, nullptr);
      if (g_app.pathLabel != nullptr)
        SendMessageA(g_app.pathLabel, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
      ShowPathText();
      return 0;
    }
    case WM_SIZE: LayOut(window); return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (g_app.hasPicture) PaintPicture(dc, PictureArea(window));
      EndPaint(window, &ps);
      return 0;
    }
    case z9twn::WM_UIDLG_HOST: OnHostMessage(window, wParam, lParam); return 0;
    case kOpenDialogCommand: g_app.library.OpenDialog(window); return 0;
    case kCloseDialogCommand:
    case WM_CLOSE: CloseApplication(window); return 0;
    case WM_ENDSESSION:
      if (wParam) g_app.library.RemoveDialog();
      return 0;
    case WM_DESTROY:
      g_app.window = nullptr;
      g_app.pathLabel = nullptr;
      PostQuitMessage(0);
      return 0;
    default: return DefWindowProcA(window, msg, wParam, lParam);
  }
}

}  // namespace

bool RegisterMainWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMainWindowClass;
  return RegisterClassA(&wc) != 0;
}

HWND CreateMainWindow(HINSTANCE instance, const char* title) {
  // On a narrow screen the window overlaps the dialog rather than leaving it.
  int x = GetSystemMetrics(SM_CXSCREEN) - kWindowWidth;
  if (x > kWindowX) x = kWindowX;
  if (x < 0) x = 0;
  return CreateWindowExA(0, kMainWindowClass, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, x, kWindowY,
                         kWindowWidth, kWindowHeight, nullptr, nullptr, instance, nullptr);
}

HWND DialogForMessage(const MSG& msg) {
  HWND top = msg.hwnd;
  while (top != nullptr && (GetWindowLongA(top, GWL_STYLE) & WS_CHILD) != 0) top = GetParent(top);
  if (top == nullptr || top == g_app.window || GetParent(top) != g_app.window) return nullptr;
  char name[16] = {};
  GetClassNameA(top, name, sizeof name);
  return std::strcmp(name, "#32770") == 0 ? top : nullptr;
}

}  // namespace z9app
