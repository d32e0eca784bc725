// The video stream's format as the dialog and the host see it: format code by
// media subtype, size code by width, and the dialog layout each one selects.
#pragma once
#include <windows.h>

#include <cstdint>

namespace z9twn {

// Format code of a capture pin subtype: RGB24 0, YUY2 2, "RAWD" 3, "NJP4" 4,
// "NJP2" 5, anything else 1.
uint8_t FormatCodeOfSubtype(const GUID& subtype);
// Size code of a stream width: 320 1, 352 2, 176 3, 160 4, anything else 0.
uint8_t SizeCodeOfWidth(int width);

// Frames per second from an average time per frame in 100-ns units; a zero
// or negative time keeps `previous` (no rate can be derived from it).
int FrameRateOf(int64_t averageTimePerFrame, int previous);
// The average time per frame asking for `rate` frames per second (rate 0 or
// below gives 0: let the camera decide).
int64_t TimePerFrameOf(int rate);

constexpr int kButtonCount = 5;
constexpr int kButtonWidth = 60;
constexpr int kButtonHeight = 20;
constexpr int kButtonTop = 8;
constexpr int kDialogLeft = 8;
constexpr int kDialogTop = 8;
// Control ids of the row, in its order: "&Capture", "&Mode", "&Property", "&Freeze", "&Exit".
extern const int kButtonRow[kButtonCount];

struct DialogLayout {
  bool changes;  // false: size and pane stay as they are (the dialog is only shown again)
  int dialogWidth, dialogHeight;
  int paneX, paneY, paneWidth, paneHeight;
  int buttonX[kButtonCount];
};

// The layout for a stream of width x height with the given size code.
DialogLayout LayoutForStream(int width, int height, uint8_t sizeCode);

}  // namespace z9twn
