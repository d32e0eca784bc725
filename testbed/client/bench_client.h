// Client of the bench camera's control device: what tests and tools use to
// drive the stand-in camera (button states, registers, controls, stills,
// faults, unplug / replug) and to read back what it was sent (request log,
// counters).  Every call is one synchronous request; false means the request
// failed and LastError() tells why (a Win32 error code).
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "camctl_protocol.h"
#include "still_pattern.h"

namespace z9bench {

// Device instance ids and hardware ids of the bench devices.
inline constexpr char kCameraInstanceId[] = "ROOT\\VID_FFF1&PID_A14C&MI_00\\0000";
inline constexpr char kSecondInstanceId[] = "ROOT\\VID_FFF1&PID_A14C&MI_01\\0000";
inline constexpr char kForeignInstanceId[] = "ROOT\\VID_1234&PID_5678\\0000";
inline constexpr char kCameraHardwareId[] = "USB\\VID_FFF1&PID_A14C&MI_00";
inline constexpr char kSecondHardwareId[] = "USB\\VID_FFF1&PID_A14C&MI_01";
inline constexpr char kForeignHardwareId[] = "USB\\VID_1234&PID_5678";

// The camera as a video input device.
inline constexpr char kFriendlyName[] = "Opticam, Q7710C USB Camera";
inline constexpr char kProxyClsid[] = "{17CCA71B-ECD7-11D0-B908-00A0C9223196}";

// Builds a fault: `mode` is Z9B_FAULT_FAIL, Z9B_FAULT_NOWRITE or Z9B_FAULT_VALUE.
// By default it matches every id and flag of the kind and lasts until cleared.
Z9B_FAULT MakeFault(uint32_t kind, uint32_t mode, int32_t value = 0, uint32_t count = 0, uint32_t skip = 0);

// The control device "\\.\Z9CamCtl".  Movable, not copyable; closes on destruction.
class Bench {
 public:
  Bench() = default;
  ~Bench();
  Bench(Bench&& o) noexcept;
  Bench& operator=(Bench&& o) noexcept;
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  // Opens the control device, waiting up to `waitMs` for the driver to load.
  bool Open(DWORD waitMs = 0);
  bool IsOpen() const;
  void Close();
  DWORD LastError() const { return error_; }

  bool GetInfo(Z9B_INFO* info);
  // Restores what `what` names (Z9B_RESET_* bits); the default is everything:
  // camera defaults, empty button queue, no faults, empty log and counters,
  // every device plugged in.
  bool Reset(uint32_t what = Z9B_RESET_ALL);

  // Capture devices the driver serves.
  bool ListDevices(std::vector<Z9B_DEVICE>* devices);
  bool FindDevice(const char* instanceId, Z9B_DEVICE* device);  // case-insensitive
  // Switches a device's capture interface off (unplug) or on (replug); the
  // system sends the device-interface removal / arrival notices.
  bool SetPlugged(const char* instanceId, bool plugged);
  bool Unplug(const char* instanceId = kCameraInstanceId) { return SetPlugged(instanceId, false); }
  bool Replug(const char* instanceId = kCameraInstanceId) { return SetPlugged(instanceId, true); }

  // Button states: queued, handed out one per button-state request, 0 when empty.
  bool PushButtons(const uint8_t* states, size_t count, uint32_t* queued = nullptr);
  bool PushButtons(std::initializer_list<uint8_t> states, uint32_t* queued = nullptr);
  bool ClearButtons();

  // Camera registers (16-bit numbers, 8-bit values); 0x8176/0x8177 drive the light.
  bool SetRegister(uint16_t address, uint8_t value);
  bool GetRegister(uint16_t address, uint8_t* value);
  bool GetLight(Z9B_LIGHT* light);

  // Controls of the three groups (Z9B_GROUP_*); see Z9B_CONTROL.
  bool SetControl(const Z9B_CONTROL& control);
  bool GetControl(uint32_t group, uint32_t id, Z9B_CONTROL* control);

  // Stills: the pattern settings, or an upload that the next still answer
  // returns verbatim (flags Z9B_UPLOAD_STICKY: every answer until cleared).
  bool SetStillConfig(const Z9B_STILL_CONFIG& config);
  bool GetStillConfig(Z9B_STILL_CONFIG* config);
  bool UploadStill(const Z9B_STILL_UPLOAD& header, const void* payload, size_t length);
  bool ClearUpload();

  // The answer to the running-stream request.
  bool SetStreamInfo(uint32_t type, uint32_t width, uint32_t height);

  // Faults: each added fault applies to the requests it matches (first match wins).
  bool AddFault(const Z9B_FAULT& fault, uint32_t* slot = nullptr);
  bool ClearFaults();

  // What the camera was sent.
  bool GetCounters(Z9B_COUNTERS* counters);
  // Log entries with sequence >= fromSequence (the oldest kept ones at most).
  bool ReadLog(std::vector<Z9B_LOG_ENTRY>* entries, uint32_t fromSequence = 0);
  bool ClearLog();  // also clears the counters

 private:
  bool Call(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned = nullptr);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  DWORD error_ = 0;
};

// Readable names, for tools and failure messages.
const char* KindName(uint32_t kind);
std::string DescribeLogEntry(const Z9B_LOG_ENTRY& entry);

}  // namespace z9bench
