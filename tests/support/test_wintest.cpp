// The test helpers themselves: a broken helper would make other tests lie.
#include <gtest/gtest.h>

#include "wintest.h"

using namespace wintest;

TEST(WinTest, RunProgramReportsExitCodeAndBoundsTheWait) {
  DWORD code = 0;
  ASSERT_TRUE(RunProgram("cmd.exe /c exit 3", 20000, &code));
  EXPECT_EQ(3u, code);
  Process p;
  ASSERT_TRUE(p.Start("notepad.exe"));
  DWORD start = GetTickCount();
  EXPECT_FALSE(p.Wait(300));
  EXPECT_LT(GetTickCount() - start, 5000u);
  p.Kill();
  EXPECT_FALSE(p.Running());
}

TEST(WinTest, MessageBoxIsFoundReadAndDismissed) {
  MessageBoxWatcher watcher("Watched caption", GetCurrentProcessId(), IDOK, 10000);
  int r = MessageBoxA(nullptr, "Some text.", "Watched caption", MB_OK | MB_ICONWARNING);
  ASSERT_TRUE(watcher.Wait(5000));
  EXPECT_EQ(IDOK, r);
  EXPECT_EQ("Some text.", watcher.Text());
  EXPECT_EQ("Watched caption", watcher.Caption());
}

TEST(WinTest, WatcherGivesUpWhenNoBoxComes) {
  MessageBoxWatcher watcher("Never shown", 0, IDOK, 200);
  EXPECT_FALSE(watcher.Wait(3000));
  EXPECT_FALSE(watcher.Found());
}

TEST(WinTest, ListBoxLinesAndScreenshot) {
  HWND lb = CreateWindowExA(0, "LISTBOX", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr,
                            nullptr, nullptr);
  ASSERT_NE(nullptr, lb);
  SendMessageA(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("first"));
  SendMessageA(lb, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("second line"));
  std::vector<std::string> lines = ReadListBoxLines(lb);
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("second line", lines[1]);
  EXPECT_EQ(1, WaitForListLine(lb, "second", 100, true));
  EXPECT_EQ(-1, WaitForListLine(lb, "third", 100));

  std::string png = WindowsDir() + "\\wintest-shot.png";
  ASSERT_TRUE(SaveScreenPng(png, lb));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(png, &bytes));
  EXPECT_EQ(std::string("\x89PNG", 4), bytes.substr(0, 4));
  RECT r;
  GetWindowRect(lb, &r);
  ASSERT_GT(bytes.size(), 24u);
  auto be32 = [&](size_t at) {
    return (unsigned(uint8_t(bytes[at])) << 24) | (unsigned(uint8_t(bytes[at + 1])) << 16) |
           (unsigned(uint8_t(bytes[at + 2])) << 8) | unsigned(uint8_t(bytes[at + 3]));
  };
  EXPECT_EQ(unsigned(r.right - r.left), be32(16));  // IHDR width
  EXPECT_EQ(unsigned(r.bottom - r.top), be32(20));  // IHDR height
  EXPECT_GT(bytes.size(), size_t(r.right - r.left) * (r.bottom - r.top) * 3);
  DeleteFileIfAny(png);
  DestroyWindow(lb);
}

TEST(WinTest, RegistryAndProfileRoundTrip) {
  const std::string key = "Software\\Z9WinTest\\Sub";
  ASSERT_TRUE(RegSetDword(HKEY_CURRENT_USER, key, "Number", 42));
  ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, key, "Text", "hello"));
  DWORD n = 0;
  std::string s;
  EXPECT_TRUE(RegGetDword(HKEY_CURRENT_USER, key, "Number", &n));
  EXPECT_EQ(42u, n);
  EXPECT_TRUE(RegGetString(HKEY_CURRENT_USER, key, "Text", &s));
  EXPECT_EQ("hello", s);
  EXPECT_TRUE(RegDeleteKeyTree(HKEY_CURRENT_USER, "Software\\Z9WinTest"));
  EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, key));

  ASSERT_TRUE(IniWrite("Z9WinTest.ini", "Sec", "Key", "v1"));
  EXPECT_EQ("v1", IniRead("Z9WinTest.ini", "Sec", "Key"));
  EXPECT_TRUE(DeleteFileIfAny(WindowsDir() + "\\Z9WinTest.ini"));
}
