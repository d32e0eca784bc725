// The camera coming and going: unplug and replug on the bench, notices sent
// to the window as the system sends them (in both forms), the real notices an
// ANSI window gets, the composite device's second function and a foreign
// camera, and suspend / resume.
#include "monitor_fixture.h"

#include <dbt.h>

#include <cstdio>

#include "device_notice.h"

using namespace mnttest;

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

class Presence : public MonitorTest {
 protected:
  bool StartPolling() { return Start() && log.WaitFor("Thread created.....", 3000) && WaitButtonRequests(2, 5000); }

  // Whether button requests go on over the next moments.
  bool StillPolling() { return WaitButtonRequests(ButtonRequests() + 3, 3000); }
  bool NotPolling() {
    const uint32_t before = ButtonRequests();
    wintest::PumpFor(500);
    return ButtonRequests() == before;
  }
};

TEST_F(Presence, UnplugStopsThePollingAndReplugStartsItAgain) {
  ASSERT_TRUE(StartPolling());
  const std::string path = CameraPath();
  ASSERT_FALSE(path.empty());

  const int threads = ThreadCount();
  const size_t mark = log.Size();
  ASSERT_TRUE(bench.Unplug());
  ASSERT_TRUE(log.WaitFor("Device disconnect..", 5000, 1, mark)) << log.Dump(mark);
  // The notice carries the whole path, whichever form the system sends.
  int named = 0;
  const auto lines = log.Lines();
  for (size_t i = mark; i < lines.size(); ++i) named += Upper(lines[i]) == Upper("Device Name: " + path);
  EXPECT_EQ(named, 1) << log.Dump(mark);
  EXPECT_TRUE(log.WaitFor("Thread killed.....", 3000, 1, mark)) << log.Dump(mark);
  // Stopped by the removal, not ended by a failed poll of its own.
  EXPECT_EQ(log.Count("ClosePollingThread", mark), 1) << log.Dump(mark);
  EXPECT_EQ(log.Count("Thread Shutdown..", mark), 1) << log.Dump(mark);
  EXPECT_EQ(log.Count("Error! Can not create device handle.", mark), 0) << log.Dump(mark);
  const int disconnect = log.Find("Device disconnect..", mark);
  EXPECT_LT(disconnect, log.Find("ClosePollingThread", mark));
  EXPECT_LT(log.Find("ClosePollingThread", mark), log.Find("Thread Shutdown..", mark));
  EXPECT_TRUE(NotPolling());
  EXPECT_TRUE(wintest::WaitUntil([&] { return ThreadCount() == threads - 1; }, 3000)) << "the polling thread ends";

  const size_t back = log.Size();
  ASSERT_TRUE(bench.Replug());
  ASSERT_TRUE(log.WaitFor("Device connect..", 5000, 1, back)) << log.Dump(back);
  EXPECT_TRUE(log.WaitFor("Thread created.....", 3000, 1, back));
  EXPECT_EQ(log.Count("IN CreatePollingThread", back), 1);
  EXPECT_TRUE(StillPolling());
  EXPECT_EQ(ThreadCount(), threads);

  // And again: each unplug stops, each replug restarts.
  const size_t again = log.Size();
  ASSERT_TRUE(bench.Unplug());
  ASSERT_TRUE(log.WaitFor("Thread killed.....", 5000, 1, again)) << log.Dump(again);
  ASSERT_TRUE(bench.Replug());
  ASSERT_TRUE(log.WaitFor("Thread created.....", 5000, 1, again)) << log.Dump(again);
  EXPECT_TRUE(StillPolling());
}

TEST_F(Presence, ASecondArrivalStartsNoSecondThreadAndOnlyResetsTheStatus) {
  ASSERT_TRUE(StartPolling());
  SetSetting("DeviceStatus", 4);
  const int threads = ThreadCount();
  const std::string path = CameraPath();
  const size_t mark = log.Size();
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEARRIVAL, Wide(path)));
  EXPECT_EQ(log.Find("Device Name: " + path, mark), static_cast<int>(mark)) << log.Dump(mark);
  EXPECT_TRUE(log.WaitFor("Device connect..", 3000, 1, mark));
  EXPECT_EQ(Setting("DeviceStatus"), 0u);
  wintest::PumpFor(300);
  EXPECT_EQ(log.Count("IN CreatePollingThread"), 1) << log.Dump();
  EXPECT_EQ(log.Count("Thread created....."), 1);
  EXPECT_EQ(ThreadCount(), threads);
  EXPECT_TRUE(StillPolling());
}

TEST_F(Presence, NoticesOfOtherDevicesOnlyLogTheirName) {
  ASSERT_TRUE(StartPolling());
  const std::string camera = CameraPath();
  const std::string foreign = "\\\\?\\ROOT#VID_1234&PID_5678#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
  const std::string second = "\\\\?\\ROOT#VID_FFF1&PID_A14C&MI_01#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
  const size_t mark = log.Size();
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEARRIVAL, Wide(foreign)));
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEREMOVECOMPLETE, Wide(foreign)));
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEREMOVECOMPLETE, Wide(second)));
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEARRIVAL, Wide(second)));
  // Other events of the same kind are not looked at.
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEQUERYREMOVE, Wide(camera)));
  // A name longer than a log line is cut, not overrun.
  const std::string longName = "\\\\?\\" + std::string(1500, 'Q');
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEARRIVAL, Wide(longName)));

  EXPECT_EQ(log.Count("Device Name: " + foreign, mark), 2) << log.Dump(mark);
  EXPECT_EQ(log.Count("Device Name: " + second, mark), 2);
  EXPECT_EQ(log.CountPrefix("Device Name: ", mark), 5);
  const std::string cut = ("Device Name: " + longName).substr(0, 503);
  EXPECT_EQ(log.Count(cut, mark), 1) << "a long name gives one line of 503 characters";
  EXPECT_EQ(log.Count("Device connect..", mark), 0);
  EXPECT_EQ(log.Count("Device disconnect..", mark), 0);
  EXPECT_EQ(log.Count("ClosePollingThread", mark), 0);
  EXPECT_TRUE(StillPolling());

  // The camera's own path is recognised from the path alone.
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEREMOVECOMPLETE, Wide(Upper(camera))));
  EXPECT_TRUE(log.WaitFor("Device disconnect..", 3000, 1, mark));
  EXPECT_TRUE(log.WaitFor("Thread killed.....", 3000, 1, mark)) << log.Dump(mark);
}

TEST_F(Presence, AnsiNoticesAreReadLikeWideOnes) {
  ASSERT_TRUE(StartPolling());
  const std::string camera = CameraPath();
  const std::string foreign = "\\\\?\\ROOT#VID_1234&PID_5678#0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
  const size_t mark = log.Size();
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEARRIVAL, foreign));
  const std::string longName = "\\\\?\\" + std::string(1500, 'Q');
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEREMOVECOMPLETE, longName));
  EXPECT_EQ(log.Count("Device Name: " + foreign, mark), 1) << log.Dump(mark);
  EXPECT_EQ(log.Count(("Device Name: " + longName).substr(0, 503), mark), 1);
  EXPECT_EQ(log.Count("Device disconnect..", mark), 0);
  EXPECT_TRUE(StillPolling());

  // The camera's path in lower case, as Windows names it.
  const size_t gone = log.Size();
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEREMOVECOMPLETE, camera));
  EXPECT_EQ(log.Find("Device Name: " + camera, gone), static_cast<int>(gone)) << log.Dump(gone);
  EXPECT_TRUE(log.WaitFor("Device disconnect..", 3000, 1, gone));
  EXPECT_TRUE(log.WaitFor("Thread killed.....", 3000, 1, gone)) << log.Dump(gone);
  EXPECT_TRUE(NotPolling());

  const size_t back = log.Size();
  ASSERT_TRUE(SendInterfaceNotice(DBT_DEVICEARRIVAL, Upper(camera)));
  EXPECT_TRUE(log.WaitFor("Device connect..", 3000, 1, back)) << log.Dump(back);
  EXPECT_TRUE(log.WaitFor("Thread created.....", 3000, 1, back));
  EXPECT_TRUE(StillPolling());
}

// A window of an ANSI class, registered for capture-interface notices as the
// monitor registers; it keeps each arrival and removal notice as it came.
class AnsiNoticeWindow {
 public:
  AnsiNoticeWindow() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "Z9MntTestNoticeWindow";
    RegisterClassA(&wc);
    hwnd_ = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                            nullptr);
    if (!hwnd_) return;
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
    notify_ = RegisterDeviceNotificationA(hwnd_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  }
  ~AnsiNoticeWindow() {
    if (notify_) UnregisterDeviceNotification(notify_);
    if (hwnd_) DestroyWindow(hwnd_);
  }
  AnsiNoticeWindow(const AnsiNoticeWindow&) = delete;
  AnsiNoticeWindow& operator=(const AnsiNoticeWindow&) = delete;
  bool ok() const { return hwnd_ && notify_ && !IsWindowUnicode(hwnd_); }

  struct Notice {
    WPARAM event;
    std::vector<BYTE> bytes;
  };
  const std::vector<Notice>& notices() const { return notices_; }

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<AnsiNoticeWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (msg == WM_DEVICECHANGE && self && (wp == DBT_DEVICEARRIVAL || wp == DBT_DEVICEREMOVECOMPLETE) && lp) {
      const auto* bytes = reinterpret_cast<const BYTE*>(lp);
      const DWORD size = reinterpret_cast<const DEV_BROADCAST_HDR*>(lp)->dbch_size;
      self->notices_.push_back({wp, std::vector<BYTE>(bytes, bytes + size)});
      return TRUE;
    }
    return DefWindowProcA(h, msg, wp, lp);
  }

  HWND hwnd_ = nullptr;
  HDEVNOTIFY notify_ = nullptr;
  std::vector<Notice> notices_;
};

TEST_F(Presence, RealNoticesAtAnAnsiWindowReadAsTheCameraPath) {
  AnsiNoticeWindow window;
  ASSERT_TRUE(window.ok());
  const std::string path = CameraPath();
  ASSERT_FALSE(path.empty());
  // A fresh registration takes a moment to reach the plug-and-play side.
  wintest::PumpFor(300);

  ASSERT_TRUE(bench.Unplug());
  ASSERT_TRUE(wintest::WaitUntil([&] { return !window.notices().empty(); }, 5000));
  ASSERT_TRUE(bench.Replug());
  ASSERT_TRUE(wintest::WaitUntil([&] { return window.notices().size() >= 2; }, 5000));

  const WPARAM expected[] = {DBT_DEVICEREMOVECOMPLETE, DBT_DEVICEARRIVAL};
  for (size_t i = 0; i < 2; ++i) {
    const auto& notice = window.notices()[i];
    EXPECT_EQ(notice.event, expected[i]);
    char read[1024];
    GUID cls{};
    z9mnt::NoticeForm form{};
    ASSERT_TRUE(z9mnt::ReadInterfaceNotice(notice.bytes.data(), read, sizeof read, &cls, &form)) << i;
    EXPECT_EQ(Upper(read), Upper(path)) << i;
    EXPECT_EQ(cls.Data1, 0x65E8773Du);
    // Windows sends this window the ANSI form, Wine the wide one.
    std::printf("notice %u at an ANSI window came in the %s form\n", static_cast<unsigned>(i),
                form == z9mnt::NoticeForm::Wide ? "wide" : "ANSI");
  }
}

// The second function of the composite device and another maker's camera,
// installed on the bench for this test.
class ExtraDevices : public Presence {
 protected:
  void TearDown() override {
    Presence::TearDown();
    std::string error;
    z9bench::RemoveDevice(z9bench::kSecondInstanceId, &error);
    z9bench::RemoveDevice(z9bench::kForeignInstanceId, &error);
  }

  uint32_t Opens(const char* instanceId) {
    Z9B_DEVICE d{};
    EXPECT_TRUE(bench.FindDevice(instanceId, &d)) << instanceId;
    return d.opens;
  }
};

TEST_F(ExtraDevices, TheSecondFunctionAndAForeignCameraAreNeverOpened) {
  const std::string inf = "C:\\bench\\driver\\oem0.inf";
  std::string error;
  ASSERT_TRUE(z9bench::InstallDevice(z9bench::kSecondInstanceId, z9bench::kSecondHardwareId, inf.c_str(), &error))
      << error;
  ASSERT_TRUE(z9bench::InstallDevice(z9bench::kForeignInstanceId, z9bench::kForeignHardwareId, inf.c_str(), &error))
      << error;
  ASSERT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kSecondInstanceId, true, 10000));
  ASSERT_TRUE(z9bench::WaitForCaptureInterface(z9bench::kForeignInstanceId, true, 10000));
  ASSERT_TRUE(bench.ClearLog());

  ASSERT_TRUE(StartPolling());
  ASSERT_TRUE(WaitButtonRequests(5, 3000));
  EXPECT_GE(Opens(z9bench::kCameraInstanceId), 5u);
  EXPECT_EQ(Opens(z9bench::kSecondInstanceId), 0u);
  EXPECT_EQ(Opens(z9bench::kForeignInstanceId), 0u);

  // Their real notices change nothing.
  const size_t mark = log.Size();
  ASSERT_TRUE(bench.Unplug(z9bench::kSecondInstanceId));
  ASSERT_TRUE(bench.Unplug(z9bench::kForeignInstanceId));
  ASSERT_TRUE(wintest::WaitUntil([&] { return log.CountPrefix("Device Name: ", mark) >= 2; }, 5000))
      << log.Dump(mark);
  ASSERT_TRUE(bench.Replug(z9bench::kForeignInstanceId));
  ASSERT_TRUE(wintest::WaitUntil([&] { return log.CountPrefix("Device Name: ", mark) >= 3; }, 5000));
  EXPECT_EQ(log.Count("Device disconnect..", mark), 0) << log.Dump(mark);
  EXPECT_EQ(log.Count("Device connect..", mark), 0);
  EXPECT_TRUE(StillPolling());
  EXPECT_EQ(Opens(z9bench::kForeignInstanceId), 0u);
  ASSERT_TRUE(Close());

  // With "DeviceId" naming the other maker's camera, that one is the camera.
  SetSettingText("DeviceId", "vid_1234&pid_5678");
  ASSERT_TRUE(bench.ClearLog());
  ASSERT_TRUE(StartPolling());
  EXPECT_GE(Opens(z9bench::kForeignInstanceId), 2u);
  EXPECT_EQ(Opens(z9bench::kCameraInstanceId), 0u);
}

TEST_F(Presence, SuspendLeavesThePollingRunningAndResumeResetsTheStatus) {
  ASSERT_TRUE(StartPolling());
  EXPECT_EQ(SendPower(PBT_APMQUERYSUSPEND), 0);
  EXPECT_EQ(SendPower(PBT_APMSUSPEND), 0);
  EXPECT_EQ(SendPower(PBT_APMRESUMEAUTOMATIC), 0);
  EXPECT_EQ(log.Count("PBT_APMQUERYSUSPEND"), 1);
  EXPECT_EQ(log.Count("PBT_APMSUSPEND"), 1);
  EXPECT_TRUE(StillPolling());
  EXPECT_EQ(log.Count("Thread Shutdown.."), 0);

  SetSetting("DeviceStatus", 6);
  const size_t mark = log.Size();
  EXPECT_EQ(SendPower(PBT_APMRESUMESUSPEND), 0);
  EXPECT_EQ(Setting("DeviceStatus"), 0u);
  EXPECT_EQ(log.Find("PBT_APMRESUMESUSPEND", mark), static_cast<int>(mark)) << log.Dump(mark);
  EXPECT_GE(log.Find("StillMnt_Resume", mark), 0);
  EXPECT_GE(log.Find("Device connect..", mark), 0);
  EXPECT_EQ(log.Count("IN CreatePollingThread"), 1) << "the running thread is kept";
  EXPECT_TRUE(StillPolling());
}

TEST_F(Presence, ResumeRestartsPollingOnlyWhenTheCameraOpens) {
  // A thread ended by ten unanswered polls...
  ASSERT_TRUE(bench.AddFault(z9bench::MakeFault(Z9B_KIND_BUTTON, Z9B_FAULT_NOWRITE)));
  ASSERT_TRUE(Start());
  ASSERT_TRUE(log.WaitFor("Thread killed.....", 8000)) << log.Dump();
  ASSERT_TRUE(bench.ClearFaults());
  // ...comes back on resume while the camera opens.
  size_t mark = log.Size();
  EXPECT_EQ(SendPower(PBT_APMRESUMESUSPEND), 0);
  EXPECT_GE(log.Find("Device connect..", mark), 0) << log.Dump(mark);
  EXPECT_TRUE(log.WaitFor("Thread created.....", 3000, 1, mark));
  EXPECT_TRUE(StillPolling());

  // Without the camera a resume starts nothing.
  mark = log.Size();
  ASSERT_TRUE(bench.Unplug());
  ASSERT_TRUE(log.WaitFor("Thread killed.....", 5000, 1, mark)) << log.Dump(mark);
  mark = log.Size();
  SetSetting("DeviceStatus", 6);  // reset by the resume itself, not by a thread start
  EXPECT_EQ(SendPower(PBT_APMRESUMESUSPEND), 0);
  EXPECT_EQ(Setting("DeviceStatus"), 0u);
  const int resume = log.Find("StillMnt_Resume", mark);
  ASSERT_GE(resume, 0) << log.Dump(mark);
  EXPECT_EQ(log.Find("Device disconnect..", resume), resume + 1) << log.Dump(mark);
  EXPECT_EQ(log.Count("IN CreatePollingThread", mark), 0);
  EXPECT_TRUE(NotPolling());
}

}  // namespace
