// What a host process of the capture dialog keeps for its life, set up and
// put back by the tests that open the dialog in their own process: COM, the
// bench camera reset, the camera's name in the settings (without it the
// dialog stops at a message box) and a window of its own for CreateUIDlg.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "bench_client.h"
#include "settings.h"
#include "wintest.h"

namespace z9soak {

class DialogHost {
 public:
  // A failed step is a fatal failure of the running test's set-up.
  void SetUp(const char* className) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    com_ = true;
    ASSERT_TRUE(bench_.Open(15000));
    ASSERT_TRUE(bench_.Reset());
    hadName_ = wintest::RegGetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "FriendlyName", &name_);
    ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "FriendlyName", z9bench::kFriendlyName));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, wc.lpszClassName, "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
  }

  void TearDown() {
    if (window_ != nullptr) DestroyWindow(window_);
    window_ = nullptr;
    if (hadName_)
      wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "FriendlyName", name_);
    else
      wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "FriendlyName");
    bench_.Reset();
    if (com_) CoUninitialize();
    com_ = false;
  }

  HWND window() const { return window_; }

 private:
  z9bench::Bench bench_;
  HWND window_ = nullptr;
  bool com_ = false;
  bool hadName_ = false;
  std::string name_;
};

}  // namespace z9soak
