#include "device_path.h"

#include <windows.h>
#include <setupapi.h>

#include <vector>

namespace z9proxy {
namespace {
const GUID kCategoryCapture = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
}

bool FindCaptureInterfacePath(const char* instanceId, std::string* path) {
  HDEVINFO set = SetupDiGetClassDevsA(&kCategoryCapture, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  for (DWORD i = 0; !found; ++i) {
    SP_DEVINFO_DATA dev{};
    dev.cbSize = sizeof dev;
    if (!SetupDiEnumDeviceInfo(set, i, &dev)) break;
    char id[256] = {};
    if (!SetupDiGetDeviceInstanceIdA(set, &dev, id, sizeof id, nullptr) || lstrcmpiA(id, instanceId) != 0) continue;
    SP_DEVICE_INTERFACE_DATA itf{};
    itf.cbSize = sizeof itf;
    if (!SetupDiEnumDeviceInterfaces(set, &dev, &kCategoryCapture, 0, &itf)) continue;
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &itf, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
    std::vector<char> block(needed);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (SetupDiGetDeviceInterfaceDetailA(set, &itf, detail, needed, nullptr, nullptr)) {
      *path = detail->DevicePath;
      found = true;
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return found;
}

}  // namespace z9proxy
