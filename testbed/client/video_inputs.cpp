#include "video_inputs.h"

#include <windows.h>

#include "bench_client.h"
#include "bench_setup.h"

namespace z9bench {
namespace {

std::string KeyOf(const char* name) { return std::string(kVideoInputInstanceKey) + "\\" + name; }

bool ReadString(HKEY key, const char* name, std::string* value) {
  char text[1024] = {};
  DWORD type = 0, size = sizeof text - 1;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  *value = text;
  return true;
}

std::string PathOf(const char* instanceId) {
  std::string path;
  FindCaptureInterface(instanceId, &path);
  return path;
}

}  // namespace

bool RestoreCameraVideoInput(std::string* error) {
  const std::string path = PathOf(kCameraInstanceId);
  if (path.empty()) {
    if (error) *error = "the camera's capture interface is not present";
    return false;
  }
  return RegisterVideoInput(kCameraVideoInputName, kFriendlyName, kProxyClsid, path.c_str(), error);
}

bool AddOtherClassVideoInput(std::string* error) {
  return RegisterVideoInput(kOtherClassVideoInputName, kFriendlyName, kOtherVideoInputClsid, nullptr, error);
}

bool AddSecondCameraVideoInput(const char* instanceId, std::string* error) {
  std::string path = PathOf(instanceId ? instanceId : kSecondInstanceId);
  if (path.empty() && !instanceId) path = PathOf(kCameraInstanceId);
  if (path.empty()) {
    if (error) *error = "no capture interface for the second camera";
    return false;
  }
  return RegisterVideoInput(kSecondCameraVideoInputName, kFriendlyName, kProxyClsid, path.c_str(), error);
}

bool RemoveCameraFriendlyName(std::string* error) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, KeyOf(kCameraVideoInputName).c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
    if (error) *error = "the camera has no video input entry";
    return false;
  }
  const LONG rc = RegDeleteValueA(key, "FriendlyName");
  RegCloseKey(key);
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

void RemoveVideoInputs() {
  UnregisterVideoInput(kCameraVideoInputName);
  UnregisterVideoInput(kOtherClassVideoInputName);
  UnregisterVideoInput(kSecondCameraVideoInputName);
}

bool ResetVideoInputs(std::string* error) {
  RemoveVideoInputs();
  return RestoreCameraVideoInput(error);
}

std::vector<VideoInputEntry> ListVideoInputs() {
  std::vector<VideoInputEntry> entries;
  HKEY parent = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kVideoInputInstanceKey, 0, KEY_READ, &parent) != ERROR_SUCCESS) return entries;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(parent, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name, 0, KEY_READ, &key) != ERROR_SUCCESS) continue;
    VideoInputEntry e;
    e.key = name;
    e.hasFriendlyName = ReadString(key, "FriendlyName", &e.friendlyName);
    ReadString(key, "CLSID", &e.clsid);
    ReadString(key, "DevicePath", &e.devicePath);
    RegCloseKey(key);
    entries.push_back(e);
  }
  RegCloseKey(parent);
  return entries;
}

}  // namespace z9bench
