#include "cleanup_batch.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>

#include "win_handles.h"

namespace z9rmv {

namespace {

bool Quoted(const char* dir, const char* tail, char* out, size_t size) {
  char path[kPathSize];
  if (tail != nullptr) {
    if (!JoinPath(path, sizeof path, dir, tail)) return false;
  } else if (std::snprintf(path, sizeof path, "%s", dir) >= static_cast<int>(sizeof path)) {
    return false;
  }
  return QuoteIfNeeded(out, size, path);
}

}  // namespace

bool ComposeCleanupBatch(const char* windowsDir, const char* removalProgram, const char* batchPath,
                         std::string* text) {
  char library[kPathSize + 2], launcher[kPathSize + 2], removal[kPathSize + 2], batch[kPathSize + 2];
  if (!Quoted(windowsDir, "System\\Z9100Rmv.dll", library, sizeof library) ||
      !Quoted(windowsDir, "System\\Z9100LAp.exe", launcher, sizeof launcher) ||
      !Quoted(removalProgram, nullptr, removal, sizeof removal) || !Quoted(batchPath, nullptr, batch, sizeof batch))
    return false;
  std::string t;
  t += ":Repeat\r\n";
  t += std::string("       Del ") + library + " \r\n";
  t += std::string("       Del ") + launcher + " \r\n";
  t += std::string("      Del ") + removal + "\r\n";
  t += std::string("       if exist ") + library + " goto Repeat\r\n";
  t += std::string("       if exist ") + launcher + " goto Repeat\r\n";
  t += std::string("       if exist ") + removal + " goto Repeat\r\n";
  t += std::string("       Del ") + batch + " \r\n";
  *text = std::move(t);
  return true;
}

bool CleanupBatchPath(const char* windowsDir, char* out, size_t size) {
  if (windowsDir == nullptr || windowsDir[0] == '\0') return false;
  return JoinPath(out, size, windowsDir, "System\\DeMySelf.Bat");
}

bool WriteCleanupBatch(const char* path, const std::string& text) {
  z9::UniqueHandle file(
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

bool StartCleanupBatch(const char* path) {
  const HINSTANCE result = ShellExecuteA(nullptr, "open", path, nullptr, nullptr, SW_HIDE);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool DeleteProgramShortcut() {
  char programs[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAMS, FALSE)) return false;
  char shortcut[kPathSize];
  if (!JoinPath(shortcut, sizeof shortcut, programs, kShortcutName)) return false;
  return DeleteFileA(shortcut) != FALSE;
}

}  // namespace z9rmv
