// Installing the bench into a prefix: capture devices with the stand-in
// driver, the kernel-streaming proxy class, the video input registration, the
// property-page registration and the camera application's App Paths entry.
// Every function returns false on failure and, when `error` is given, says
// what failed.
#pragma once
#include <windows.h>

#include <string>

namespace z9bench {

inline constexpr char kMediaSetsKey[] = "SYSTEM\\CurrentControlSet\\Control\\MediaSets";
inline constexpr char kControlSetKeyName[] = "{8C38BFCC-8D4D-4A5A-885B-270A9B4B6003}";
inline constexpr char kVideoInputInstanceKey[] =
    "CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance";  // under HKEY_CLASSES_ROOT
inline constexpr char kCameraVideoInputName[] = "Z9BenchCamera";
inline constexpr char kAppPathsYouCam[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\YouCam";

// Root-enumerated device `instanceId` with hardware id `hardwareId`, driven by
// the driver that `infPath` installs.  An existing device is reused.
bool InstallDevice(const char* instanceId, const char* hardwareId, const char* infPath, std::string* error);
bool RemoveDevice(const char* instanceId, std::string* error);
// Whether the device exists at all (present or not).
bool DeviceExists(const char* instanceId);

// The device path of the device's capture interface, when the device is in
// the present-device list of KSCATEGORY_CAPTURE interfaces.
bool FindCaptureInterface(const char* instanceId, std::string* path);
// Waits up to `timeoutMs` for FindCaptureInterface to succeed (or, with
// present = false, to fail).
bool WaitForCaptureInterface(const char* instanceId, bool present, DWORD timeoutMs, std::string* path = nullptr);

// The kernel-streaming proxy class {17CCA71B-...} served by `modulePath`.
bool RegisterProxyClass(const char* modulePath, std::string* error);
// A video input device for the system device enumerator: FriendlyName, CLSID
// and, when given, DevicePath (the capture interface the filter opens).
bool RegisterVideoInput(const char* keyName, const char* friendlyName, const char* clsid, const char* devicePath,
                        std::string* error);
bool UnregisterVideoInput(const char* keyName);
// The four property pages of the camera's control set, listed under MediaSets.
bool RegisterPropertyPages(std::string* error);
// App Paths "YouCam" = path of the camera application.
bool RegisterCameraApplication(const char* path, std::string* error);
// HKCU\Software\Wine\DllOverrides: `dll` = `mode` (e.g. "ksproxy.ax", "native").
bool SetDllOverride(const char* dll, const char* mode, std::string* error);

}  // namespace z9bench
