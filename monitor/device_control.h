// The control channel to the camera driver: kernel-streaming property
// requests of the extension set, sent synchronously through
// KsSynchronousDeviceControl of the system's Ksproxy.ax.
//
// The module is counted: every successful LoadDeviceControl needs one
// ReleaseDeviceControl, and each request holds a count of its own while it
// runs, so one thread's release never unloads the module under another
// thread's call. A request sent while nobody holds the channel is refused.
#pragma once
#include <windows.h>

#include <cstdint>

namespace z9mnt {

// 1 when the channel is usable (and one more user holds it), 0 otherwise.
int LoadDeviceControl();
// Lets go of one LoadDeviceControl; the last one unloads the module.
void ReleaseDeviceControl();
// Whether some thread holds the channel.
bool DeviceControlLoaded();

// The state byte at offset 24 of the answer; 99 when the request fails or is
// refused.
uint8_t ReadButtonState(HANDLE device);
// The size of the still data the driver delivers; 921600 when there is no
// answer or it is 0.
uint32_t QueryStillBufferSize(HANDLE device);
// 1 with *value set on success, 0 (and *value untouched) otherwise.
int ReadRegisterByte(HANDLE device, uint16_t address, uint8_t* value);
int WriteRegisterByte(HANDLE device, uint16_t address, uint8_t value);
// Makes general-purpose pin `pin` an output at level `on`. 0 (nothing sent)
// for a pin above 8, a null or invalid handle or an unloaded channel,
// otherwise 1; failed register requests are not reported.
int SetGpioOutput(HANDLE device, unsigned pin, bool on);

}  // namespace z9mnt
