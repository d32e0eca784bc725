#include "monitor_app.h"

#include <cstring>
#include <new>

#include "device_presence.h"
#include "dispatch.h"
#include "log.h"
#include "messenger.h"
#include "monitor_state.h"
#include "polling.h"
#include "registry_view.h"
#include "settings.h"

namespace z9mnt {

void CheckOperatingSystem() {
  const DWORD minor = z9::QueryMinorVersion();
  LogLine("%s", z9::WindowsNameForMinor(minor));
  z9::SetRegistryViewFlag(z9::RegistryViewFlagFor(minor, z9::ProcessRunsUnderWow64()));
}

namespace {

void ReadMessengerSupport() {
  MonitorState& m = Monitor();
  m.msnNotifySupport = 0;
  z9::UniqueHKey key;
  if (!z9::OpenSettingsKey(z9::kSettingsRead, &key)) {
    LogLine("RegOpenKeyEx fail");
    return;
  }
  DWORD value = 0;
  if (z9::QueryDwordValue(key.get(), "MSNNotifySupport", &value)) m.msnNotifySupport = value;
}

void UnInitSteps();

int InitSteps() {
  MonitorState& m = Monitor();
  LogLine("StillMnt_Init");
  CheckOperatingSystem();
  RegisterEventMessages();
  RegisterDeviceNotices();

  std::memset(m.devInstanceName, 0, sizeof m.devInstanceName);
  z9::ReadDeviceInstanceName(m.devInstanceName);
  LogLine("DevInstanceName = %s", m.devInstanceName);

  ReadMessengerSupport();

  z9::UniqueHandle camera = OpenCameraDevice();
  if (camera) {
    LogLine("Device connect..");
    ClosePollingThread2();
    CreatePollingThread();
    camera.reset();
    if (m.msnNotifySupport != 0) StartMessengerNotification();
  } else {
    LogLine("Device disconnect..");
    CreatePollingThread2();
  }

  m.target = CaptureTarget{};
  return 1;
}

}  // namespace

// Running out of memory is the one way the start fails: the allocation's
// exception ends here and the caller takes its failure path.
int StillMnt_Init() {
  try {
    return InitSteps();
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

int StillMnt_UnInit() {
  try {
    UnInitSteps();
  } catch (const std::bad_alloc&) {
    // What could not be stopped ends with the process.
  }
  return 1;
}

namespace {

void UnInitSteps() {
  MonitorState& m = Monitor();
  LogLine("StillMnt_UnInit");
  UnregisterDeviceNotices();
  ClosePollingThread();
  if (m.msnNotifySupport != 0) StopMessengerNotification();
  // No camera handle outlives its task, so none is open here.
  m.target = CaptureTarget{};
}

}  // namespace

}  // namespace z9mnt
