// The source's one export, DS_Entry, and the process-wide source behind it.
#include <windows.h>

#include "data_source.h"

namespace {
HMODULE g_module = nullptr;

z9cam::DataSource& Source() {
  // Never destroyed: the process may end with the dialog still open.
  static z9cam::DataSource* source = new z9cam::DataSource(g_module);
  return *source;
}
}  // namespace

extern "C" twain::TW_UINT16 TWAIN_CALL DS_Entry(twain::TW_IDENTITY* origin,
                                                                     twain::TW_UINT32 dg, twain::TW_UINT16 dat,
                                                                     twain::TW_UINT16 msg, twain::TW_MEMREF data) {
  return Source().Entry(origin, dg, dat, msg, data);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
