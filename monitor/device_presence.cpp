#include "device_presence.h"

#include <dbt.h>
#include <setupapi.h>

#include <cstring>
#include <new>
#include <vector>

#include "camera_match.h"
#include "device_notice.h"
#include "ks_requests.h"
#include "log.h"
#include "win_guid.h"
#include "messenger.h"
#include "monitor_state.h"
#include "polling.h"
#include "settings.h"

namespace z9mnt {

namespace {

// Enumeration indexes are walked no further than this, whatever the
// enumerator answers.
constexpr DWORD kMaxEnumIndex = 4096;

GUID CaptureCategory() { return z9::ToWinGuid(z9::kKsCategoryCapture); }

// The present devices with capture interfaces.
class DeviceList {
 public:
  DeviceList() {
    const GUID category = CaptureCategory();
    list_ = SetupDiGetClassDevsA(&category, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  }
  ~DeviceList() {
    if (valid()) SetupDiDestroyDeviceInfoList(list_);
  }
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;
  bool valid() const { return list_ != INVALID_HANDLE_VALUE && list_ != nullptr; }
  HDEVINFO get() const { return list_; }

 private:
  HDEVINFO list_ = INVALID_HANDLE_VALUE;
};

enum class Visit { Next, Stop };

// Walks the capture interfaces of the camera's devices and hands each device
// path to `visit` until it says Stop. A detail that cannot be read is logged
// and ends the walk of that device.
template <class Visitor>
void WalkCameraInterfaces(Visitor visit) {
  DeviceList list;
  if (!list.valid()) return;
  const GUID category = CaptureCategory();
  const char* name = Monitor().devInstanceName;

  for (DWORD device = 0; device < kMaxEnumIndex; ++device) {
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    if (!SetupDiEnumDeviceInfo(list.get(), device, &info)) {
      if (GetLastError() == ERROR_NO_MORE_ITEMS) return;
      continue;
    }
    char id[z9::kDeviceIdSize] = {};
    if (!SetupDiGetDeviceInstanceIdA(list.get(), &info, id, sizeof id, nullptr)) id[0] = '\0';
    id[sizeof id - 1] = '\0';
    if (!IsCameraName(id, name)) continue;

    for (DWORD index = 0; index < kMaxEnumIndex; ++index) {
      SP_DEVICE_INTERFACE_DATA iface{};
      iface.cbSize = sizeof iface;
      if (!SetupDiEnumDeviceInterfaces(list.get(), &info, &category, index, &iface)) {
        if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
        continue;
      }
      DWORD size = 0;
      SetupDiGetDeviceInterfaceDetailA(list.get(), &iface, nullptr, 0, &size, nullptr);
      std::vector<BYTE> block;
      bool read = false;
      if (size >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        block.assign(size + 1, 0);  // one spare zero after the path
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);  // 5 on this platform
        read = SetupDiGetDeviceInterfaceDetailA(list.get(), &iface, detail, size, nullptr, nullptr) != FALSE;
      }
      if (!read) {
        LogLine("SetupDiGetDeviceInterfaceDetail fail");
        break;
      }
      const auto* detail = reinterpret_cast<const SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
      if (visit(static_cast<const char*>(detail->DevicePath)) == Visit::Stop) return;
    }
  }
}

}  // namespace

z9::UniqueHandle OpenCameraDevice() {
  z9::UniqueHandle handle;
  WalkCameraInterfaces([&](const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Visit::Next;
    handle.reset(h);
    return Visit::Stop;
  });
  return handle;
}

bool MatchCameraInterface(const char* path) {
  if (IsCameraName(path, Monitor().devInstanceName)) return true;
  bool found = false;
  WalkCameraInterfaces([&](const char* present) {
    if (lstrcmpiA(present, path) != 0) return Visit::Next;
    found = true;
    return Visit::Stop;
  });
  return found;
}

void RegisterDeviceNotices() {
  MonitorState& m = Monitor();
  DEV_BROADCAST_DEVICEINTERFACE_A filter{};
  static_assert(sizeof filter == 32, "the filter travels as 32 bytes");
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_reserved = 0;
  filter.dbcc_classguid = CaptureCategory();
  m.deviceNotify = RegisterDeviceNotificationA(m.mainWindow, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  if (m.deviceNotify == nullptr) LogLine("RegisterDeviceNotification failed.");
}

void UnregisterDeviceNotices() {
  MonitorState& m = Monitor();
  if (m.deviceNotify == nullptr) return;
  UnregisterDeviceNotification(m.deviceNotify);
  m.deviceNotify = nullptr;
}

namespace {

void PowerSteps(WPARAM event);

void DeviceChangeSteps(WPARAM event, LPARAM data) {
  if ((event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) || data == 0) return;
  char path[1024];
  GUID interfaceClass{};
  if (!ReadInterfaceNotice(reinterpret_cast<const void*>(data), path, sizeof path, &interfaceClass)) return;
  LogLine("Device Name: %s", path);
  const GUID category = CaptureCategory();
  if (std::memcmp(&interfaceClass, &category, sizeof category) != 0 || !MatchCameraInterface(path)) return;

  MonitorState& m = Monitor();
  if (event == DBT_DEVICEARRIVAL) {
    LogLine("Device connect..");
    CreatePollingThread();
    if (m.msnNotifySupport != 0) StartMessengerNotification();
  } else {
    LogLine("Device disconnect..");
    ClosePollingThread();
    if (m.msnNotifySupport != 0) StopMessengerNotification();
  }
}

}  // namespace

// The window procedure's handlers: an allocation failure drops the notice's
// work and never leaves the window procedure as an exception.
void OnDeviceChange(WPARAM event, LPARAM data) {
  try {
    DeviceChangeSteps(event, data);
  } catch (const std::bad_alloc&) {
  }
}

void OnPowerBroadcast(WPARAM event) {
  try {
    PowerSteps(event);
  } catch (const std::bad_alloc&) {
  }
}

namespace {

void PowerSteps(WPARAM event) {
  switch (event) {
    case PBT_APMQUERYSUSPEND:
      LogLine("PBT_APMQUERYSUSPEND");
      break;
    case PBT_APMSUSPEND:
      LogLine("PBT_APMSUSPEND");
      break;
    case PBT_APMRESUMESUSPEND:
      z9::WriteSettingDword("DeviceStatus", 0);
      LogLine("PBT_APMRESUMESUSPEND");
      StillMnt_Resume();
      break;
    default:
      break;
  }
}

}  // namespace

void StillMnt_Resume() {
  LogLine("StillMnt_Resume");
  Sleep(500);
  z9::UniqueHandle camera = OpenCameraDevice();
  if (!camera) {
    LogLine("Device disconnect..");
    return;
  }
  LogLine("Device connect..");
  CreatePollingThread();
  camera.reset();
  if (Monitor().msnNotifySupport != 0) StartMessengerNotification();
}

}  // namespace z9mnt
