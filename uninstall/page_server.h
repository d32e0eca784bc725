// The property pages' COM server, Z9100Dex.dll in <WINDIR>\System. Its
// classes, ProgIDs and type library are taken out by the server's own
// DllUnregisterServer, loaded into this process: the server knows what it
// registered and where its type library was filed, and, being of this
// process's word size, it works in the registry view the installer's
// registration wrote (32-bit on a 64-bit system), which is not the settings'
// view.
#pragma once
#include <windows.h>

namespace z9rmv {

constexpr char kPageServerFile[] = "System\\Z9100Dex.dll";

// Unregisters the server found in `windowsDir`; false when the file is not
// there, does not load, exports no DllUnregisterServer or that one fails.
// Must run while the file is still there: the driver package's file queue
// deletes it with the devices.
bool UnregisterPageServer(const char* windowsDir);

}  // namespace z9rmv
