#include "page_server.h"

#include <objbase.h>

#include "paths.h"
#include "win_handles.h"

namespace z9rmv {

bool UnregisterPageServer(const char* windowsDir) {
  if (windowsDir == nullptr || windowsDir[0] == '\0') return false;
  char path[kPathSize];
  if (!JoinPath(path, sizeof path, windowsDir, kPageServerFile)) return false;
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  // Its own folder first for what it imports, as the installer loaded it.
  z9::UniqueModule server(LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!server) return false;
  using UnregisterFn = HRESULT(STDAPICALLTYPE*)();
  const auto unregister = reinterpret_cast<UnregisterFn>(GetProcAddress(server.get(), "DllUnregisterServer"));
  if (unregister == nullptr) return false;
  // As a registration program calls it: in an apartment of its own.
  const HRESULT init = CoInitialize(nullptr);
  const HRESULT hr = unregister();
  if (SUCCEEDED(init)) CoUninitialize();
  return SUCCEEDED(hr);
}

}  // namespace z9rmv
