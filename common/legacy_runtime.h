// The runtime's own kernel calls as this code base answers them (see
// legacy_runtime.cpp).
#pragma once

namespace z9 {

// Closes the semaphores the C and C++ runtime made for its locks and has not
// closed itself; returns how many. Only for the very end of a DLL's teardown
// by FreeLibrary, once the runtime can take no lock any more
// (runtime_unload.cpp): anywhere else the runtime would be left with closed
// locks.
int CloseRuntimeLocks();

}  // namespace z9
