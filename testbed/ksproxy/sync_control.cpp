#include "sync_control.h"

namespace z9proxy {

HRESULT SyncDeviceControl(HANDLE device, ULONG code, void* in, ULONG inLength, void* out, ULONG outLength,
                          ULONG* returned) {
  if (returned) *returned = 0;
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!ov.hEvent) return HRESULT_FROM_WIN32(GetLastError());
  DWORD bytes = 0;
  BOOL ok = DeviceIoControl(device, code, in, inLength, out, outLength, &bytes, &ov);
  DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  if (!ok && error == ERROR_IO_PENDING) {
    // Handles opened for overlapped I/O complete later; wait for the end.
    ok = GetOverlappedResult(device, &ov, &bytes, TRUE);
    error = ok ? ERROR_SUCCESS : GetLastError();
  }
  CloseHandle(ov.hEvent);
  if (returned) *returned = bytes;
  return ok ? S_OK : HRESULT_FROM_WIN32(error);
}

}  // namespace z9proxy

// The export: the contract of the system's KS proxy module.
extern "C" HRESULT WINAPI KsSynchronousDeviceControl(HANDLE Handle, ULONG IoControl, PVOID InBuffer, ULONG InLength,
                                                     PVOID OutBuffer, ULONG OutLength, PULONG BytesReturned) {
  return z9proxy::SyncDeviceControl(Handle, IoControl, InBuffer, InLength, OutBuffer, OutLength, BytesReturned);
}
