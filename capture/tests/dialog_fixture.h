// Drives Z9100Twn.dll as a TWAIN data source does: a host window of the
// test's own receives WM_USER + 200, a window playing the monitor's records
// the posts, and a thread answers the library's message boxes.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "wintest.h"

namespace twntest {

constexpr UINT kHostMessage = WM_USER + 200;

struct HostEvent {
  WPARAM code;
  std::vector<uint8_t> info;   // code 0: the 16 bytes
  std::vector<uint8_t> dib;    // code 2: the block's bytes (freed by the host)
  SIZE_T blockSize = 0;        // code 2: GlobalSize
};

struct MonitorPost {
  WPARAM wParam;
  LPARAM lParam;
};

// Presses OK on every box titled `caption` of this process and keeps its text.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(const char* caption = "Error");
  ~BoxAnswerer();
  std::vector<std::string> Texts();
  std::vector<HWND> Owners();
  void Clear();

 private:
  std::string caption_;
  std::atomic<bool> stop_{false};
  CRITICAL_SECTION lock_;
  std::vector<std::string> texts_;
  std::vector<HWND> owners_;
  wintest::Thread thread_;
};

using CreateFn = int(__cdecl*)(HWND);
using RemoveFn = int(__cdecl*)();

class DialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // CreateUIDlg(host) and the dialog window it made (nullptr when none).
  int Create();
  int Remove();
  HWND Dialog() const { return dialog_; }
  // Events the host received; the picture blocks are freed on receipt.
  static std::vector<HostEvent>& Events();
  static std::vector<MonitorPost>& Posts();
  static bool& RemoveOnCloseRequest();
  void SetFriendlyName(const char* name);  // nullptr removes the value

  HWND host_ = nullptr;
  HWND monitor_ = nullptr;
  HWND dialog_ = nullptr;
  int createResult_ = 0;

  static HMODULE library_;
  static CreateFn create_;
  static RemoveFn remove_;
};

UINT ActiveMessage();
UINT InactiveMessage();

}  // namespace twntest
