#include "identity.h"

#include <setupapi.h>

#include <cstring>

#include "registry_view.h"
#include "settings.h"

namespace z9cam {

using namespace twain;

namespace {

void CopyText(char (&dst)[34], const char* src) {
  size_t i = 0;
  for (; i + 1 < sizeof dst && src[i] != '\0'; ++i) dst[i] = src[i];
  std::memset(dst + i, 0, sizeof dst - i);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsNoCase(const char* text, const char* part) {
  if (*part == '\0') return true;
  for (; *text != '\0'; ++text) {
    const char* t = text;
    const char* p = part;
    while (*t != '\0' && *p != '\0' && Lower(*t) == Lower(*p)) ++t, ++p;
    if (*p == '\0') return true;
  }
  return false;
}

const GUID kCaptureCategory = {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

}  // namespace

void FillIdentity(TW_IDENTITY* identity, bool twain2) {
  static bool viewDecided = false;
  if (!viewDecided) {
    z9::SetRegistryViewFlag(z9::ComputeRegistryViewFlag());
    viewDecided = true;
  }
  char name[z9::kDeviceIdSize] = {};
  z9::UniqueHKey key;
  if (!z9::OpenSettingsKey(KEY_READ, &key) || !z9::QueryTextValue(key.get(), "FriendlyName", name, sizeof name) ||
      name[0] == '\0')
    std::strcpy(name, kDefaultProductName);
  identity->Version.MajorNum = 1;
  identity->Version.MinorNum = 0;
  identity->Version.Language = 13;  // TWLG_USA
  identity->Version.Country = 1;    // TWCY_USA
  CopyText(identity->Version.Info, "1.0");
  identity->ProtocolMajor = twain2 ? 2 : TWON_PROTOCOLMAJOR;
  identity->ProtocolMinor = twain2 ? 0 : TWON_PROTOCOLMINOR;
  identity->SupportedGroups = DG_CONTROL | DG_IMAGE | (twain2 ? DF_DS2 : 0);
  CopyText(identity->Manufacturer, kManufacturer);
  CopyText(identity->ProductFamily, kProductFamily);
  CopyText(identity->ProductName, name);
}

bool CameraOnline() {
  char device[z9::kDeviceIdSize] = {};
  z9::ReadDeviceInstanceName(device);
  HDEVINFO list = SetupDiGetClassDevsA(&kCaptureCategory, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (list == INVALID_HANDLE_VALUE) return false;
  bool found = false;
  for (DWORD i = 0; !found && i < 256; ++i) {
    SP_DEVICE_INTERFACE_DATA iface = {};
    iface.cbSize = sizeof iface;
    if (!SetupDiEnumDeviceInterfaces(list, nullptr, &kCaptureCategory, i, &iface)) break;
    union {
      SP_DEVICE_INTERFACE_DETAIL_DATA_A detail;
      char bytes[sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) + 512];
    } buf = {};
    buf.detail.cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(list, &iface, &buf.detail, sizeof buf - 1, nullptr, nullptr)) continue;
    buf.bytes[sizeof buf - 1] = '\0';
    // The camera's function, not the composite device's second one.
    found = ContainsNoCase(buf.detail.DevicePath, device) && !ContainsNoCase(buf.detail.DevicePath, "MI_01");
  }
  SetupDiDestroyDeviceInfoList(list);
  return found;
}

}  // namespace z9cam
