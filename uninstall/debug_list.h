// The uninstaller's debug list: a top-level list box that shows what the
// removal does while it does it. Off (and nothing formatted) unless opened.
#pragma once
#include <windows.h>

namespace z9rmv {

constexpr char kDebugListFirstLine[] = " Y5300Rmv version 9300.0.0.1 ";

class DebugList {
 public:
  DebugList() = default;
  ~DebugList();
  DebugList(const DebugList&) = delete;
  DebugList& operator=(const DebugList&) = delete;

  // Creates the list at (0, 0), 480 x 650, and writes the first line. When
  // the window cannot be made, shows "create window fail" and stays off.
  bool Open(HINSTANCE instance);
  bool IsOn() const { return list_ != nullptr; }
  HWND window() const { return list_; }

  // Formats one line (printf style, cut to the line buffer), appends it, makes
  // it the current item and lets the list repaint. Does nothing when off.
  void Line(const char* format, ...);

 private:
  void Add(const char* text);
  HWND list_ = nullptr;
};

}  // namespace z9rmv
