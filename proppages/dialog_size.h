// The pixel size of a dialog template: its size in dialog units converted
// with the base units of the template's own font on the screen.
#pragma once
#include <windows.h>

#include <cstddef>

namespace z9 {

// What the size conversion needs from a template (DLGTEMPLATE or
// DLGTEMPLATEEX): the size in dialog units and the font, when it names one.
struct DialogTemplateInfo {
  short cx = 0, cy = 0;
  bool hasFont = false;
  WORD pointSize = 0;
  WORD weight = FW_NORMAL;
  BYTE italic = 0;
  BYTE charset = DEFAULT_CHARSET;
  WCHAR faceName[LF_FACESIZE] = {};
};

// Reads a template of `size` bytes; false when it is cut short or malformed.
bool ParseDialogTemplate(const void* data, size_t size, DialogTemplateInfo* info);

// Converts with the font's base units (the system font's when it has none).
SIZE DialogUnitsToPixels(const DialogTemplateInfo& info);

// Finds dialog `id` in `module` and converts its size; false when the
// resource is missing or malformed.
bool DialogTemplatePixelSize(HINSTANCE module, UINT id, SIZE* pixels);

}  // namespace z9
