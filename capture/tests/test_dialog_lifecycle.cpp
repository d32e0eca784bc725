// The exports and the dialog's life, through Z9100Twn.dll as a data source
// loads it: start failures, the posts to the monitor, the host's close
// request, removal, and the dialog's window messages.
#include <gtest/gtest.h>

#include "dialog_fixture.h"

namespace twntest {
namespace {

using Lifecycle = DialogTest;

std::vector<WPARAM> Codes(const std::vector<HostEvent>& events) {
  std::vector<WPARAM> c;
  for (const HostEvent& e : events) c.push_back(e.code);
  return c;
}

TEST_F(Lifecycle, UnknownCameraFailsTheStartAndAsksTheHostToClose) {
  SetFriendlyName("No Such Camera");
  BoxAnswerer boxes;
  Create();
  // The close request arrived before CreateUIDlg returned.
  EXPECT_EQ(Codes(Events()), (std::vector<WPARAM>{3}));
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"ERROR 345:9791"}));
  EXPECT_EQ(boxes.Owners(), (std::vector<HWND>{nullptr}));
  // The failed dialog still registers with the monitor and stays until removed.
  ASSERT_NE(Dialog(), nullptr);
  EXPECT_NE(createResult_, 0);
  EXPECT_TRUE(IsWindow(Dialog()));
  EXPECT_EQ(wintest::WindowText(Dialog()), "No Such Camera");
  EXPECT_EQ(GetWindow(Dialog(), GW_OWNER), host_);

  const DWORD start = GetTickCount();
  Posts().clear();
  EXPECT_NE(Remove(), 0);
  EXPECT_GE(GetTickCount() - start, 950u);
  EXPECT_FALSE(IsWindow(Dialog()));
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(Posts()[0].wParam, InactiveMessage());
  EXPECT_EQ(Posts()[0].lParam, 0);

  // A second removal finds no dialog and tells the monitor all the same.
  EXPECT_NE(Remove(), 0);
  EXPECT_EQ(Posts().size(), 2u);
  dialog_ = nullptr;
}

TEST_F(Lifecycle, MissingFriendlyNameUsesTheDefaultNameAfterItsOwnBox) {
  SetFriendlyName(nullptr);
  BoxAnswerer boxes;
  Create();
  const std::vector<std::string> texts = boxes.Texts();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts[0], "ERROR 178:9791");
  EXPECT_EQ(boxes.Owners()[0], Dialog());  // this one box has the dialog as owner
  EXPECT_EQ(wintest::WindowText(Dialog()), "Opticam, Q7710C USB Camera");
}

TEST_F(Lifecycle, MonitorMissingMeansNothingIsPosted) {
  DestroyWindow(monitor_);
  monitor_ = nullptr;
  SetFriendlyName("No Such Camera");
  BoxAnswerer boxes;
  EXPECT_EQ(create_(host_), 0);
  EXPECT_EQ(remove_(), 0);
  // Nothing landed in this thread's own queue either.
  MSG msg;
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE));
}

TEST_F(Lifecycle, HostRemovingAtOnceDuringTheStartIsSafe) {
  SetFriendlyName("No Such Camera");
  RemoveOnCloseRequest() = true;
  BoxAnswerer boxes;
  const int result = Create();
  EXPECT_EQ(Codes(Events()), (std::vector<WPARAM>{3}));
  // The dialog went with the removal: nothing registers a dead window.
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Dialog(), nullptr);
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(Posts()[0].wParam, InactiveMessage());
  EXPECT_TRUE(wintest::WindowsOfProcess(GetCurrentProcessId(), "#32770").empty() ||
              wintest::FindDialogBox("No Such Camera", GetCurrentProcessId()) == nullptr);
}

TEST_F(Lifecycle, SecondCreateTakesTheOlderDialogDown) {
  SetFriendlyName("No Such Camera");
  BoxAnswerer boxes;
  Create();
  HWND first = Dialog();
  ASSERT_NE(first, nullptr);
  Create();
  HWND second = Dialog();
  ASSERT_NE(second, nullptr);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(IsWindow(second));
  EXPECT_EQ(boxes.Texts().size(), 2u);
}

TEST_F(Lifecycle, WindowMessagesOfTheDialog) {
  SetFriendlyName("No Such Camera");
  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  Events().clear();
  // Exit and the close box only ask the host.
  SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  SendMessageA(Dialog(), WM_CLOSE, 0, 0);
  EXPECT_EQ(Codes(Events()), (std::vector<WPARAM>{3, 3}));
  EXPECT_TRUE(IsWindow(Dialog()));
  EXPECT_TRUE(IsWindowVisible(Dialog()));
  // Escape has no effect of its own.
  SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  EXPECT_TRUE(IsWindowVisible(Dialog()));
  // No screen saver and no monitor power-off while the dialog is open.
  EXPECT_EQ(SendMessageA(Dialog(), WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
  EXPECT_EQ(SendMessageA(Dialog(), WM_SYSCOMMAND, SC_MONITORPOWER, 2), 0);
  EXPECT_TRUE(IsWindowVisible(Dialog()));
  // The template: buttons, pane and title font.
  for (int id : {1000, 1001, 1002, 1030, 1, 1006}) EXPECT_NE(GetDlgItem(Dialog(), id), nullptr) << id;
  EXPECT_EQ(wintest::ClassOf(GetDlgItem(Dialog(), 1006)), "Static");
  EXPECT_TRUE(GetWindowLongA(GetDlgItem(Dialog(), 1006), GWL_STYLE) & SS_BLACKFRAME);
  EXPECT_TRUE(GetWindowLongA(Dialog(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_EQ(wintest::WindowText(GetDlgItem(Dialog(), 1000)), "&Capture");
  // A capture without a camera says so and hands nothing over.
  boxes.Clear();
  SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), 0);
  EXPECT_TRUE(Events().size() == 2u);
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"ERROR 724:9791"}));
}

}  // namespace
}  // namespace twntest
