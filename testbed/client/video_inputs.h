// The video input devices the system device enumerator lists
// (HKCR\CLSID\{860BB310-...}\Instance): the camera's entry as set-up leaves
// it, and the variations a test needs.  Wine lists the entries in key-name
// order, so the other-class entry comes before the camera and the second
// camera after it.
#pragma once
#include <string>
#include <vector>

namespace z9bench {

inline constexpr char kOtherClassVideoInputName[] = "Z9BenchAOtherClass";
inline constexpr char kSecondCameraVideoInputName[] = "Z9BenchCamera2";
// A class id that is not the kernel-streaming proxy's (and serves nothing).
inline constexpr char kOtherVideoInputClsid[] = "{5E1A7C20-3B9D-4C61-9A0E-7F2B6D4C1A02}";

// The camera's entry: FriendlyName, the proxy class id, the camera's DevicePath.
bool RestoreCameraVideoInput(std::string* error);
// An entry with the camera's friendly name and another class id.
bool AddOtherClassVideoInput(std::string* error);
// A second camera: the camera's friendly name, the proxy class id and the
// capture interface of `instanceId` (null: the second function when it is
// installed, else the camera itself).
bool AddSecondCameraVideoInput(const char* instanceId, std::string* error);
// The camera's entry without its "FriendlyName" value.
bool RemoveCameraFriendlyName(std::string* error);
// Removes the camera's entry and the two extra ones: no bench video input left.
void RemoveVideoInputs();
// The set-up state: the camera's entry only.
bool ResetVideoInputs(std::string* error);

struct VideoInputEntry {
  std::string key;
  bool hasFriendlyName = false;
  std::string friendlyName;
  std::string clsid;
  std::string devicePath;
};
// Every entry under the Instance key (also other programs'), in registry order.
std::vector<VideoInputEntry> ListVideoInputs();

}  // namespace z9bench
