// The camera application's process-wide state, in one place: its texts, the
// capture dialog library, its window and what it shows.
#pragma once
#include <windows.h>

#include <string>

#include "app_texts.h"
#include "capture_library.h"
#include "host_protocol.h"
#include "picture_file.h"

namespace z9app {

struct AppState {
  HINSTANCE instance = nullptr;
  AppTexts texts = {};
  CaptureLibrary library;
  HWND window = nullptr;
  HWND pathLabel = nullptr;
  std::string folder;  // where pictures go, decided at start
  unsigned counter = 1;  // next number in a picture's name
  bool hasPicture = false;
  Picture last;  // the last picture, shown scaled
  std::string lastPath;
  bool hasInfo = false;
  z9twn::ImageInfo info = {};  // the dialog's last image information
};

extern AppState g_app;

}  // namespace z9app
