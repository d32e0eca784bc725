// Z9100Twn.dll, loaded by full path: first where the installation puts it,
// <WINDIR>\TWAIN_32\Z9100\, then beside the application (a copy run from its
// own folder). The library's search path is never used.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "win_handles.h"

namespace z9app {

// The places tried, in order.
std::vector<std::string> CaptureLibraryPaths(const std::string& windowsDir, const std::string& exeFolder);

class CaptureLibrary {
 public:
  // Loads the first candidate that has both exports; false when none has.
  bool Load(const std::vector<std::string>& candidates);
  bool Loaded() const { return create_ != nullptr; }
  const std::string& Path() const { return path_; }

  // CreateUIDlg(host) once; the dialog stays open until RemoveDialog.
  void OpenDialog(HWND host);
  // RemoveUIDlg when a dialog is open; always before the library goes.
  void RemoveDialog();
  bool DialogOpen() const { return dialogOpen_; }

  // Removes an open dialog, then lets the library go.
  void Unload();
  ~CaptureLibrary() { Unload(); }

 private:
  using CreateFunction = int(__cdecl*)(HWND);
  using RemoveFunction = int(__cdecl*)();
  z9::UniqueModule module_;
  CreateFunction create_ = nullptr;
  RemoveFunction remove_ = nullptr;
  std::string path_;
  bool dialogOpen_ = false;
};

// The folder of this program's file, without a trailing backslash.
std::string ProgramFolder();

}  // namespace z9app
