// The stream formats the bench camera offers on its video pins, and the media
// type blocks built from them.
#pragma once
#include <cstddef>

#include "ks_headers.h"

namespace z9proxy {

struct VideoFormat {
  GUID subtype;
  DWORD compression;  // biCompression: BI_RGB or the FourCC
  WORD bitCount;
  LONG width;
  LONG height;
};

// One frame every 1/30 s by default; SetFormat accepts 1 to 60 frames a second.
inline constexpr REFERENCE_TIME kDefaultFrameTime = 333333;
inline constexpr REFERENCE_TIME kMinFrameTime = 166666;
inline constexpr REFERENCE_TIME kMaxFrameTime = 10000000;

size_t FormatCount();
const VideoFormat& FormatAt(size_t index);
// Index of the format `mt` describes (subtype, VIDEOINFOHEADER, size), or -1.
int FindFormat(const AM_MEDIA_TYPE& mt);
DWORD FrameBytes(const VideoFormat& f);
// The RGB24 format of the same size as format `index` (`index` itself when it is RGB24).
size_t RgbFormatOf(size_t index);

// Fills `mt` (format block from CoTaskMemAlloc) for format `index` at `frameTime`.
HRESULT BuildMediaType(size_t index, REFERENCE_TIME frameTime, AM_MEDIA_TYPE* mt);
// A media type block itself allocated with CoTaskMemAlloc.
HRESULT NewMediaType(size_t index, REFERENCE_TIME frameTime, AM_MEDIA_TYPE** mt);
HRESULT CopyMediaType(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE* to);
void ClearMediaType(AM_MEDIA_TYPE* mt);
void DeleteMediaType(AM_MEDIA_TYPE* mt);
// The frame time of a VIDEOINFOHEADER type, 0 when there is none.
REFERENCE_TIME FrameTimeOf(const AM_MEDIA_TYPE& mt);

}  // namespace z9proxy
