// What crosses between the capture dialog and the TWAIN data source's window:
// WM_UIDLG_HOST with its three codes and the 16-byte image information.
#pragma once
#include <windows.h>

#include <cstdint>

namespace z9twn {

constexpr UINT WM_UIDLG_HOST = WM_USER + 200;  // 1224, always sent synchronously

// wParam codes of WM_UIDLG_HOST.
constexpr WPARAM HOST_IMAGE_INFO = 0;     // lParam: const ImageInfo*, valid during the call only
constexpr WPARAM HOST_IMAGE_DIB = 2;      // lParam: HGLOBAL packed 24-bit DIB, owned by the host from then on
constexpr WPARAM HOST_CLOSE_REQUEST = 3;  // lParam: 0; the host answers with RemoveUIDlg

#pragma pack(push, 1)
struct ImageInfo {
  uint16_t width;
  uint16_t height;
  uint16_t always2;
  uint16_t reserved0;  // not part of the contract; sent as 0
  uint32_t frameRate;  // whole frames per second of the video stream
  uint8_t formatCode;
  uint8_t sizeCode;
  uint16_t reserved1;  // not part of the contract; sent as 0
};
#pragma pack(pop)
static_assert(sizeof(ImageInfo) == 16, "ImageInfo is a 16-byte record");

inline ImageInfo MakeImageInfo(int width, int height, int frameRate, uint8_t formatCode, uint8_t sizeCode) {
  ImageInfo info = {};
  info.width = static_cast<uint16_t>(width);
  info.height = static_cast<uint16_t>(height);
  info.always2 = 2;
  info.frameRate = static_cast<uint32_t>(frameRate);
  info.formatCode = formatCode;
  info.sizeCode = sizeCode;
  return info;
}

}  // namespace z9twn
