#include "standin_log.h"

#include <windows.h>

#include <string>

namespace z9bench {

bool AppendStandinLog(const char* fileName, const char* line) {
  CreateDirectoryA(kStandinLogDir, nullptr);
  const std::string path = std::string(kStandinLogDir) + "\\" + fileName;
  const std::string text = std::string(line) + "\r\n";
  // Several starts may overlap: retry while another writer holds the file.
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE f = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
      Sleep(20);
      continue;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == text.size();
  }
  return false;
}

const char* ArgumentsOf(const char* commandLine) {
  const char* p = commandLine;
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

}  // namespace z9bench
