#include "stream_format.h"

#include <uuids.h>

#include "resource.h"

namespace z9twn {

namespace {
// A FourCC subtype: the four letters, then the rest of the standard base GUID.
GUID FourCcSubtype(char a, char b, char c, char d) {
  GUID g = {0x00000000, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  g.Data1 = static_cast<DWORD>(static_cast<unsigned char>(a)) | (static_cast<DWORD>(static_cast<unsigned char>(b)) << 8) |
            (static_cast<DWORD>(static_cast<unsigned char>(c)) << 16) |
            (static_cast<DWORD>(static_cast<unsigned char>(d)) << 24);
  return g;
}
}  // namespace

const int kButtonRow[kButtonCount] = {IDC_CAPTURE, IDC_MODE, IDC_PROPERTY, IDC_FREEZE, IDOK};

uint8_t FormatCodeOfSubtype(const GUID& subtype) {
  if (IsEqualGUID(subtype, MEDIASUBTYPE_RGB24)) return 0;
  if (IsEqualGUID(subtype, MEDIASUBTYPE_YUY2)) return 2;
  if (IsEqualGUID(subtype, FourCcSubtype('R', 'A', 'W', 'D'))) return 3;
  if (IsEqualGUID(subtype, FourCcSubtype('N', 'J', 'P', '4'))) return 4;
  if (IsEqualGUID(subtype, FourCcSubtype('N', 'J', 'P', '2'))) return 5;
  return 1;
}

uint8_t SizeCodeOfWidth(int width) {
  switch (width) {
    case 320: return 1;
    case 352: return 2;
    case 176: return 3;
    case 160: return 4;
    default: return 0;
  }
}

int FrameRateOf(int64_t averageTimePerFrame, int previous) {
  if (averageTimePerFrame <= 0) return previous;
  const int64_t rate = 10000000LL / averageTimePerFrame;
  return rate > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(rate);
}

int64_t TimePerFrameOf(int rate) { return rate > 0 ? 10000000LL / rate : 0; }

DialogLayout LayoutForStream(int width, int height, uint8_t sizeCode) {
  DialogLayout l = {};
  l.changes = true;
  if (width >= 640 || height >= 480) {
    l = {true, 674, 580, 7, 37, 650, 490, {12, 84, 156, 228, 300}};
    return l;
  }
  switch (sizeCode) {
    case 1: l = {true, 488, 342, 76, 37, 330, 250, {}}; break;
    case 2: l = {true, 440, 390, 36, 37, 362, 298, {}}; break;
    case 3: l = {true, 400, 246, 96, 37, 186, 154, {}}; break;
    case 4: l = {true, 400, 220, 106, 37, 170, 130, {}}; break;
    default: l.changes = false; break;
  }
  const int row[kButtonCount] = {23, 95, 167, 239, 311};
  for (int i = 0; i < kButtonCount; ++i) l.buttonX[i] = row[i];
  return l;
}

}  // namespace z9twn
