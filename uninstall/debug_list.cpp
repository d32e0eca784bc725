#include "debug_list.h"

#include <cstdarg>
#include <cstdio>

namespace z9rmv {

namespace {
constexpr size_t kLineSize = 512;
}

DebugList::~DebugList() {
  if (list_ != nullptr) DestroyWindow(list_);
}

bool DebugList::Open(HINSTANCE instance) {
  if (list_ != nullptr) return true;
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOSEL | LBS_NOINTEGRALHEIGHT;
  list_ = CreateWindowExA(0, "LISTBOX", "Z9100Rmv", style, 0, 0, 480, 650, nullptr, nullptr, instance, nullptr);
  if (list_ == nullptr) {
    MessageBoxA(nullptr, "create window fail", "", MB_OK);
    return false;
  }
  // Wide enough for long paths with the horizontal bar.
  SendMessageA(list_, LB_SETHORIZONTALEXTENT, 1200, 0);
  Add(kDebugListFirstLine);
  return true;
}

void DebugList::Line(const char* format, ...) {
  if (list_ == nullptr) return;
  char line[kLineSize];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) return;
  Add(line);
}

void DebugList::Add(const char* text) {
  const LRESULT index = SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  if (index >= 0) {
    // A list without selection has no selected item: the caret is the
    // current item, and the list scrolls to show it.
    SendMessageA(list_, LB_SETCARETINDEX, static_cast<WPARAM>(index), FALSE);
  }
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  UpdateWindow(list_);
}

}  // namespace z9rmv
