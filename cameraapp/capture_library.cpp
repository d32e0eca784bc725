#include "capture_library.h"

#include <cstring>

namespace z9app {

std::vector<std::string> CaptureLibraryPaths(const std::string& windowsDir, const std::string& exeFolder) {
  std::vector<std::string> paths;
  auto add = [&paths](const std::string& folder, const char* rest) {
    if (folder.empty()) return;
    std::string path = folder;
    if (path.back() != '\\') path += '\\';
    path += rest;
    for (const std::string& known : paths)
      if (lstrcmpiA(known.c_str(), path.c_str()) == 0) return;
    paths.push_back(path);
  };
  add(windowsDir, "TWAIN_32\\Z9100\\Z9100Twn.dll");
  add(exeFolder, "Z9100Twn.dll");
  return paths;
}

bool CaptureLibrary::Load(const std::vector<std::string>& candidates) {
  for (const std::string& path : candidates) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    z9::UniqueModule module(LoadLibraryA(path.c_str()));
    if (!module) continue;
    auto create = reinterpret_cast<CreateFunction>(reinterpret_cast<void*>(GetProcAddress(module.get(), "CreateUIDlg")));
    auto remove = reinterpret_cast<RemoveFunction>(reinterpret_cast<void*>(GetProcAddress(module.get(), "RemoveUIDlg")));
    if (create == nullptr || remove == nullptr) continue;
    module_ = std::move(module);
    create_ = create;
    remove_ = remove;
    path_ = path;
    return true;
  }
  return false;
}

void CaptureLibrary::OpenDialog(HWND host) {
  if (create_ == nullptr || dialogOpen_) return;
  // Open before the call: a dialog whose start fails asks to be closed from
  // inside it, and that request must find a dialog to remove.
  dialogOpen_ = true;
  create_(host);
}

void CaptureLibrary::RemoveDialog() {
  if (remove_ == nullptr || !dialogOpen_) return;
  dialogOpen_ = false;
  remove_();
}

void CaptureLibrary::Unload() {
  RemoveDialog();
  create_ = nullptr;
  remove_ = nullptr;
  path_.clear();
  module_.reset();
}

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return "";
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr) return "";
  *slash = '\0';
  return path;
}

}  // namespace z9app
