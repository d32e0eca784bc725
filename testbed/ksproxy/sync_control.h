// One synchronous device request, as the exported KsSynchronousDeviceControl
// performs it; shared by the export and the proxy object.
#pragma once
#include <windows.h>

namespace z9proxy {

// DeviceIoControl with an OVERLAPPED and its own event; waits for the end of
// the request.  S_OK on success, otherwise the Win32 error as an HRESULT.
// `returned` (may be null) receives the byte count, also for a failure.
HRESULT SyncDeviceControl(HANDLE device, ULONG code, void* in, ULONG inLength, void* out, ULONG outLength,
                          ULONG* returned);

}  // namespace z9proxy
