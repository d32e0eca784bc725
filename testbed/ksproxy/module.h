// Process-wide state of the proxy module: its instance handle and the count
// of live objects and server locks that DllCanUnloadNow consults.
#pragma once
#include <windows.h>

namespace z9proxy {

extern HINSTANCE g_module;
void AddModuleRef();
void ReleaseModuleRef();
LONG ModuleRefs();

// The kernel-streaming proxy class {17CCA71B-ECD7-11D0-B908-00A0C9223196}.
extern const CLSID kClsidProxy;

}  // namespace z9proxy
