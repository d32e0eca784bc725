#include "video_formats.h"

#include <cstring>

#include "bench_stream.h"

namespace z9proxy {
namespace {

constexpr DWORD FourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<BYTE>(a)) | (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) |
         (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) | (static_cast<DWORD>(static_cast<BYTE>(d)) << 24);
}
// A FourCC subtype: the code in Data1, the rest of the standard base GUID.
constexpr GUID FourCCSubtype(DWORD code) {
  return {code, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr GUID kRgb24 = {0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

constexpr DWORD kYuy2 = FourCC('Y', 'U', 'Y', '2');
constexpr DWORD kUyvy = FourCC('U', 'Y', 'V', 'Y');
constexpr DWORD kRawd = FourCC('R', 'A', 'W', 'D');
constexpr DWORD kNjp4 = FourCC('N', 'J', 'P', '4');
constexpr DWORD kNjp2 = FourCC('N', 'J', 'P', '2');

// The default (first) is what a new filter streams.
const VideoFormat kFormats[] = {
    {kRgb24, BI_RGB, 24, 640, 480},
    {kRgb24, BI_RGB, 24, 352, 288},
    {kRgb24, BI_RGB, 24, 320, 240},
    {kRgb24, BI_RGB, 24, 176, 144},
    {kRgb24, BI_RGB, 24, 160, 120},
    {kRgb24, BI_RGB, 24, 1280, 960},
    {FourCCSubtype(kYuy2), kYuy2, 16, 640, 480},
    {FourCCSubtype(kYuy2), kYuy2, 16, 320, 240},
    {FourCCSubtype(kUyvy), kUyvy, 16, 640, 480},
    {FourCCSubtype(kRawd), kRawd, 16, 640, 480},
    {FourCCSubtype(kNjp4), kNjp4, 16, 640, 480},
    {FourCCSubtype(kNjp2), kNjp2, 16, 320, 240},
};

static_assert(sizeof kFormats / sizeof kFormats[0] == Z9B_STREAM_FORMATS, "the list in bench_stream.h");

}  // namespace

size_t FormatCount() { return sizeof kFormats / sizeof kFormats[0]; }
const VideoFormat& FormatAt(size_t index) { return kFormats[index < FormatCount() ? index : 0]; }

DWORD FrameBytes(const VideoFormat& f) {
  const DWORD stride = ((static_cast<DWORD>(f.width) * f.bitCount / 8u) + 3u) & ~3u;
  return stride * static_cast<DWORD>(f.height);
}

size_t RgbFormatOf(size_t index) {
  const VideoFormat& f = FormatAt(index);
  for (size_t i = 0; i < FormatCount(); ++i)
    if (kFormats[i].bitCount == 24 && kFormats[i].width == f.width && kFormats[i].height == f.height) return i;
  return index;
}

int FindFormat(const AM_MEDIA_TYPE& mt) {
  if (!IsEqualGUID(mt.majortype, MEDIATYPE_Video) || !IsEqualGUID(mt.formattype, FORMAT_VideoInfo) ||
      !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER))
    return -1;
  const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
  const LONG height = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
  for (size_t i = 0; i < FormatCount(); ++i) {
    const VideoFormat& f = kFormats[i];
    if (IsEqualGUID(mt.subtype, f.subtype) && vih->bmiHeader.biWidth == f.width && height == f.height &&
        vih->bmiHeader.biBitCount == f.bitCount)
      return static_cast<int>(i);
  }
  return -1;
}

HRESULT BuildMediaType(size_t index, REFERENCE_TIME frameTime, AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  std::memset(mt, 0, sizeof *mt);
  if (index >= FormatCount()) return E_INVALIDARG;
  const VideoFormat& f = kFormats[index];
  auto* vih = static_cast<VIDEOINFOHEADER*>(CoTaskMemAlloc(sizeof(VIDEOINFOHEADER)));
  if (!vih) return E_OUTOFMEMORY;
  std::memset(vih, 0, sizeof *vih);
  vih->AvgTimePerFrame = frameTime;
  vih->dwBitRate = static_cast<DWORD>(FrameBytes(f) * 8ull * 10000000ull / static_cast<ULONGLONG>(frameTime));
  vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih->bmiHeader.biWidth = f.width;
  vih->bmiHeader.biHeight = f.height;
  vih->bmiHeader.biPlanes = 1;
  vih->bmiHeader.biBitCount = f.bitCount;
  vih->bmiHeader.biCompression = f.compression;
  vih->bmiHeader.biSizeImage = FrameBytes(f);
  mt->majortype = MEDIATYPE_Video;
  mt->subtype = f.subtype;
  mt->bFixedSizeSamples = TRUE;
  mt->bTemporalCompression = FALSE;
  mt->lSampleSize = FrameBytes(f);
  mt->formattype = FORMAT_VideoInfo;
  mt->cbFormat = sizeof(VIDEOINFOHEADER);
  mt->pbFormat = reinterpret_cast<BYTE*>(vih);
  return S_OK;
}

HRESULT NewMediaType(size_t index, REFERENCE_TIME frameTime, AM_MEDIA_TYPE** mt) {
  if (!mt) return E_POINTER;
  *mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!*mt) return E_OUTOFMEMORY;
  const HRESULT hr = BuildMediaType(index, frameTime, *mt);
  if (FAILED(hr)) {
    CoTaskMemFree(*mt);
    *mt = nullptr;
  }
  return hr;
}

HRESULT CopyMediaType(const AM_MEDIA_TYPE& from, AM_MEDIA_TYPE* to) {
  *to = from;
  to->pUnk = nullptr;
  to->pbFormat = nullptr;
  to->cbFormat = 0;
  if (from.cbFormat && from.pbFormat) {
    to->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
    if (!to->pbFormat) return E_OUTOFMEMORY;
    std::memcpy(to->pbFormat, from.pbFormat, from.cbFormat);
    to->cbFormat = from.cbFormat;
  }
  if (from.pUnk) {
    to->pUnk = from.pUnk;
    to->pUnk->AddRef();
  }
  return S_OK;
}

void ClearMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return;
  if (mt->pbFormat) CoTaskMemFree(mt->pbFormat);
  if (mt->pUnk) mt->pUnk->Release();
  mt->pbFormat = nullptr;
  mt->pUnk = nullptr;
  mt->cbFormat = 0;
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return;
  ClearMediaType(mt);
  CoTaskMemFree(mt);
}

REFERENCE_TIME FrameTimeOf(const AM_MEDIA_TYPE& mt) {
  if (!IsEqualGUID(mt.formattype, FORMAT_VideoInfo) || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER))
    return 0;
  return reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->AvgTimePerFrame;
}

}  // namespace z9proxy
