// The bench as the rest of the system meets it: unplug and replug notices,
// the extra devices, and what the prefix set-up installed.
#include "bench_fixture.h"

#include <dbt.h>
#include <shellapi.h>

#include <cstring>

#include "ks_requests.h"
#include "wintest.h"

using namespace benchtest;

namespace {

const GUID kCategoryCapture = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// A window of a wide class registered for capture-interface notices; it
// records every arrival and removal with the interface name.
class NoticeWindow {
 public:
  NoticeWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Z9BenchNoticeWindow";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    if (!hwnd_) return;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kCategoryCapture;
    notify_ = RegisterDeviceNotificationW(hwnd_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  }
  ~NoticeWindow() {
    if (notify_) UnregisterDeviceNotification(notify_);
    if (hwnd_) DestroyWindow(hwnd_);
  }
  bool ok() const { return hwnd_ && notify_; }

  // Notices whose interface name mentions `part` (case-insensitive).
  int Count(UINT event, const char* part) const {
    int n = 0;
    for (const auto& nt : notices_) {
      std::string upper = nt.name;
      if (!upper.empty()) CharUpperA(&upper[0]);
      if (nt.event == event && upper.find(part) != std::string::npos) ++n;
    }
    return n;
  }
  void Clear() { notices_.clear(); }

 private:
  struct Notice {
    UINT event;
    std::string name;
  };
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<NoticeWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (msg == WM_DEVICECHANGE && self && (wp == DBT_DEVICEARRIVAL || wp == DBT_DEVICEREMOVECOMPLETE) && lp) {
      const auto* hdr = reinterpret_cast<const DEV_BROADCAST_HDR*>(lp);
      if (hdr->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        const auto* di = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lp);
        char name[512] = {};
        WideCharToMultiByte(CP_ACP, 0, di->dbcc_name, -1, name, sizeof name, nullptr, nullptr);
        self->notices_.push_back({static_cast<UINT>(wp), name});
      }
      return TRUE;
    }
    return DefWindowProcW(h, msg, wp, lp);
  }

  HWND hwnd_ = nullptr;
  HDEVNOTIFY notify_ = nullptr;
  std::vector<Notice> notices_;
};

constexpr char kCameraPart[] = "VID_FFF1&PID_A14C&MI_00";

class BenchSystem : public BenchTest {};

TEST_F(BenchSystem, UnplugAndReplugReachRegisteredWindowsAndThePresentList) {
  NoticeWindow window;
  ASSERT_TRUE(window.ok());
  KsChannel ks;
  ASSERT_TRUE(ks.ok());
  DeviceHandle before;
  ASSERT_TRUE(before.ok());
  const std::string path = before.path();
  // In a fresh Wine session the registration takes a moment to reach the
  // plug-and-play side; a removal right after it can go unnoticed.
  wintest::PumpFor(300);

  ASSERT_TRUE(bench.Unplug());
  EXPECT_TRUE(wintest::WaitUntil([&] { return window.Count(DBT_DEVICEREMOVECOMPLETE, kCameraPart) > 0; }, 5000));
  EXPECT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kCameraInstanceId, false, 5000));
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "an unplugged camera must not open";
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  uint8_t b[32];
  z9::BuildButtonStateRequest(b);
  EXPECT_TRUE(FAILED(ks.Call(before.get(), b, sizeof b)));

  ASSERT_TRUE(bench.Replug());
  EXPECT_TRUE(wintest::WaitUntil([&] { return window.Count(DBT_DEVICEARRIVAL, kCameraPart) > 0; }, 5000));
  std::string again;
  EXPECT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kCameraInstanceId, true, 5000, &again));
  EXPECT_EQ(lstrcmpiA(again.c_str(), path.c_str()), 0);
  wintest::PumpFor(300);
  EXPECT_EQ(window.Count(DBT_DEVICEREMOVECOMPLETE, kCameraPart), 1);
  EXPECT_EQ(window.Count(DBT_DEVICEARRIVAL, kCameraPart), 1);

  // A handle from before the unplug stays dead; a new one works.
  EXPECT_TRUE(FAILED(ks.Call(before.get(), b, sizeof b)));
  DeviceHandle after;
  ASSERT_TRUE(after.ok());
  z9::BuildButtonStateRequest(b);
  EXPECT_TRUE(SUCCEEDED(ks.Call(after.get(), b, sizeof b)));
  Z9B_COUNTERS c{};
  ASSERT_TRUE(bench.GetCounters(&c));
  EXPECT_EQ(c.failuresByKind[Z9B_KIND_BUTTON], 2u);
}

// Installs the second function and a foreign capture device for one test.
class ExtraDevices : public BenchTest {
 protected:
  void TearDown() override {
    std::string error;
    z9bench::RemoveDevice(z9bench::kSecondInstanceId, &error);
    z9bench::RemoveDevice(z9bench::kForeignInstanceId, &error);
    BenchTest::TearDown();
  }
};

TEST_F(ExtraDevices, SecondFunctionAndForeignDeviceAreVisibleAndServed) {
  const std::string inf = "C:\\bench\\driver\\oem0.inf";
  std::string error, second, foreign;
  ASSERT_TRUE(z9bench::InstallDevice(z9bench::kSecondInstanceId, z9bench::kSecondHardwareId, inf.c_str(), &error))
      << error;
  ASSERT_TRUE(z9bench::InstallDevice(z9bench::kForeignInstanceId, z9bench::kForeignHardwareId, inf.c_str(), &error))
      << error;
  ASSERT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kSecondInstanceId, true, 10000, &second));
  ASSERT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kForeignInstanceId, true, 10000, &foreign));
  EXPECT_NE(second.find("mi_01"), std::string::npos) << second;
  EXPECT_NE(foreign.find("vid_1234&pid_5678"), std::string::npos) << foreign;
  std::string camera;
  EXPECT_TRUE(z9bench::FindCaptureInterface(z9bench::kCameraInstanceId, &camera));

  Z9B_DEVICE d2{}, d3{};
  ASSERT_TRUE(bench.FindDevice(z9bench::kSecondInstanceId, &d2));
  ASSERT_TRUE(bench.FindDevice(z9bench::kForeignInstanceId, &d3));
  EXPECT_EQ(d2.role, uint32_t{Z9B_ROLE_SECOND});
  EXPECT_EQ(d3.role, uint32_t{Z9B_ROLE_FOREIGN});

  // Requests on the foreign device are logged with its slot.
  KsChannel ks;
  DeviceHandle other(z9bench::kForeignInstanceId);
  ASSERT_TRUE(other.ok());
  uint8_t b[32];
  z9::BuildButtonStateRequest(b);
  EXPECT_TRUE(SUCCEEDED(ks.Call(other.get(), b, sizeof b)));
  const auto log = LogOf(Z9B_KIND_BUTTON);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].slot, d3.slot);

  // Unplugging one device leaves the others present.
  ASSERT_TRUE(bench.Unplug(z9bench::kSecondInstanceId));
  EXPECT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kSecondInstanceId, false, 5000));
  EXPECT_TRUE(z9bench::FindCaptureInterface(z9bench::kCameraInstanceId, nullptr));
  EXPECT_TRUE(z9bench::FindCaptureInterface(z9bench::kForeignInstanceId, nullptr));

  ASSERT_TRUE(z9bench::RemoveDevice(z9bench::kForeignInstanceId, &error)) << error;
  EXPECT_FALSE(z9bench::DeviceExists(z9bench::kForeignInstanceId));
  EXPECT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kForeignInstanceId, false, 5000));
  EXPECT_TRUE(wintest::WaitUntil([&] { return !bench.FindDevice(z9bench::kForeignInstanceId, &d3); }, 5000));
}

int CountLines(const std::string& file, const std::string& line) {
  std::string text;
  if (!wintest::ReadFileBytes(file, &text)) return 0;
  int n = 0;
  for (size_t at = 0; (at = text.find(line + "\r\n", at)) != std::string::npos; at += line.size()) ++n;
  return n;
}

TEST_F(BenchSystem, PrefixHoldsTheRegistrationsAndStandInPrograms) {
  std::string value;
  EXPECT_TRUE(wintest::RegGetString(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "ksproxy.ax", &value));
  EXPECT_EQ(value, "native");
  EXPECT_TRUE(wintest::RegGetString(HKEY_CLASSES_ROOT,
                                    "CLSID\\{17CCA71B-ECD7-11D0-B908-00A0C9223196}\\InprocServer32", nullptr, &value));
  EXPECT_NE(value.find("ksproxy.ax"), std::string::npos) << value;
  const auto pages = wintest::RegSubkeys(
      HKEY_LOCAL_MACHINE, std::string(z9bench::kMediaSetsKey) + "\\" + z9bench::kControlSetKeyName + "\\PropertyPages");
  EXPECT_EQ(pages.size(), 4u);
  EXPECT_TRUE(wintest::RegGetString(HKEY_CLASSES_ROOT,
                                    std::string(z9bench::kVideoInputInstanceKey) + "\\" +
                                        z9bench::kCameraVideoInputName,
                                    "FriendlyName", &value));
  EXPECT_EQ(value, "Opticam, Q7710C USB Camera");
  EXPECT_EQ(GetFileAttributesA((wintest::SystemDir() + "\\drivers\\Z9100KNT.sys").c_str()) != INVALID_FILE_ATTRIBUTES,
            true);

  // The camera application from its App Paths entry records each start.
  std::string app;
  ASSERT_TRUE(wintest::RegGetString(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam, nullptr, &app));
  const std::string appLog = "C:\\bench\\youcam.log";
  const int before = CountLines(appLog, "started: ");
  ASSERT_GT(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, nullptr, app.c_str(), nullptr, nullptr, SW_SHOW)), 32);
  EXPECT_TRUE(wintest::WaitUntil([&] { return CountLines(appLog, "started: ") == before + 1; }, 10000));

  // The removal program records its arguments.
  const std::string removal = wintest::WindowsDir() + "\\system\\Z9100Remov.exe";
  const std::string args = "/d C:\\WINDOWS\\inf\\oem0.inf  C:\\WINDOWS\\system32\\drivers\\Z9100KNT.sys 32 ";
  const std::string removalLog = "C:\\bench\\Z9100Remov.log";
  const int runs = CountLines(removalLog, "started: " + args);
  DWORD code = 1;
  ASSERT_TRUE(wintest::RunProgram("\"" + removal + "\" " + args, 10000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(CountLines(removalLog, "started: " + args), runs + 1);
}

}  // namespace
