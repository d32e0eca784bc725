#include "dialog_size.h"

#include <cstring>

namespace z9 {
namespace {

// A bounded reader over the template's bytes.
class Reader {
 public:
  Reader(const void* data, size_t size) : p_(static_cast<const BYTE*>(data)), size_(size) {}
  bool Word(WORD* out) {
    if (!Need(2)) return false;
    std::memcpy(out, p_ + pos_, 2);
    pos_ += 2;
    return true;
  }
  bool Dword(DWORD* out) {
    if (!Need(4)) return false;
    std::memcpy(out, p_ + pos_, 4);
    pos_ += 4;
    return true;
  }
  bool Byte(BYTE* out) {
    if (!Need(1)) return false;
    *out = p_[pos_++];
    return true;
  }
  // A resource name field: 0x0000 (none), 0xFFFF + ordinal, or a string.
  bool SkipNameOrOrdinal() {
    WORD first = 0;
    if (!Word(&first)) return false;
    if (first == 0) return true;
    if (first == 0xFFFF) {
      WORD ordinal;
      return Word(&ordinal);
    }
    return SkipString();
  }
  bool SkipString() {
    for (;;) {
      WORD c = 0;
      if (!Word(&c)) return false;
      if (c == 0) return true;
    }
  }
  bool String(WCHAR* out, size_t capacity) {
    size_t n = 0;
    for (;;) {
      WORD c = 0;
      if (!Word(&c)) return false;
      if (c == 0) break;
      if (n + 1 < capacity) out[n++] = static_cast<WCHAR>(c);
    }
    if (capacity > 0) out[n] = 0;
    return true;
  }

 private:
  bool Need(size_t n) const { return pos_ <= size_ && size_ - pos_ >= n; }
  const BYTE* p_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace

bool ParseDialogTemplate(const void* data, size_t size, DialogTemplateInfo* info) {
  if (data == nullptr || info == nullptr) return false;
  *info = DialogTemplateInfo{};
  Reader r(data, size);
  WORD version = 0, signature = 0;
  if (!r.Word(&version) || !r.Word(&signature)) return false;
  const bool extended = version == 1 && signature == 0xFFFF;
  DWORD style = 0, exStyle = 0;
  WORD items = 0, x = 0, y = 0, cx = 0, cy = 0;
  if (extended) {
    DWORD helpId = 0;
    if (!r.Dword(&helpId) || !r.Dword(&exStyle) || !r.Dword(&style)) return false;
  } else {
    // DLGTEMPLATE starts with the style: the two words just read.
    style = static_cast<DWORD>(version) | (static_cast<DWORD>(signature) << 16);
    if (!r.Dword(&exStyle)) return false;
  }
  if (!r.Word(&items) || !r.Word(&x) || !r.Word(&y) || !r.Word(&cx) || !r.Word(&cy)) return false;
  info->cx = static_cast<short>(cx);
  info->cy = static_cast<short>(cy);
  if (!r.SkipNameOrOrdinal() || !r.SkipNameOrOrdinal() || !r.SkipString()) return false;
  if (style & (DS_SETFONT | DS_SHELLFONT)) {
    if (!r.Word(&info->pointSize)) return false;
    if (extended) {
      if (!r.Word(&info->weight) || !r.Byte(&info->italic) || !r.Byte(&info->charset)) return false;
    }
    if (!r.String(info->faceName, LF_FACESIZE)) return false;
    info->hasFont = true;
  }
  return true;
}

SIZE DialogUnitsToPixels(const DialogTemplateInfo& info) {
  int baseX = LOWORD(GetDialogBaseUnits());
  int baseY = HIWORD(GetDialogBaseUnits());
  if (info.hasFont) {
    HDC dc = GetDC(nullptr);
    if (dc != nullptr) {
      // The ANSI font calls: the W forms are failing stubs on Windows 98/ME.
      // The face name goes through the ANSI code page, as an ANSI dialog's does there.
      LOGFONTA lf = {};
      lf.lfHeight = -MulDiv(info.pointSize, GetDeviceCaps(dc, LOGPIXELSY), 72);
      lf.lfWeight = info.weight;
      lf.lfItalic = info.italic;
      lf.lfCharSet = info.charset;
      WideCharToMultiByte(CP_ACP, 0, info.faceName, -1, lf.lfFaceName, LF_FACESIZE, nullptr, nullptr);
      lf.lfFaceName[LF_FACESIZE - 1] = 0;
      HFONT font = CreateFontIndirectA(&lf);
      if (font != nullptr) {
        HGDIOBJ old = SelectObject(dc, font);
        TEXTMETRICA tm = {};
        SIZE extent = {};
        static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        if (GetTextMetricsA(dc, &tm) && GetTextExtentPoint32A(dc, kLetters, 52, &extent)) {
          // The average width rounded as the dialog manager rounds it.
          baseX = (extent.cx / 26 + 1) / 2;
          baseY = tm.tmHeight;
        }
        SelectObject(dc, old);
        DeleteObject(font);
      }
      ReleaseDC(nullptr, dc);
    }
  }
  SIZE s;
  s.cx = MulDiv(info.cx, baseX, 4);
  s.cy = MulDiv(info.cy, baseY, 8);
  return s;
}

bool DialogTemplatePixelSize(HINSTANCE module, UINT id, SIZE* pixels) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG));
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  DialogTemplateInfo info;
  if (data == nullptr || !ParseDialogTemplate(data, SizeofResource(module, found), &info)) return false;
  *pixels = DialogUnitsToPixels(info);
  return true;
}

}  // namespace z9
