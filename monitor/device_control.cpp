#include "device_control.h"

#include <cstdio>

#include "critical_section.h"
#include "ks_requests.h"

namespace z9mnt {

namespace {

using KsSyncFn = HRESULT(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PVOID, ULONG, PULONG);

struct Channel {
  z9::CriticalSection lock;
  HMODULE module = nullptr;
  KsSyncFn entry = nullptr;
  unsigned users = 0;
};

Channel& TheChannel() {
  static Channel channel;
  return channel;
}

// Lets go of one user; the last one unloads. Called with the lock held.
void DropUser(Channel& c) {
  if (c.users == 0) return;
  if (--c.users == 0) {
    c.entry = nullptr;
    FreeLibrary(c.module);
    c.module = nullptr;
  }
}

// One user held for the length of one request.
class ChannelUse {
 public:
  ChannelUse() {
    Channel& c = TheChannel();
    z9::ScopedLock hold(c.lock);
    if (c.entry != nullptr) {
      ++c.users;
      entry_ = c.entry;
    }
  }
  ~ChannelUse() {
    if (entry_ == nullptr) return;
    Channel& c = TheChannel();
    z9::ScopedLock hold(c.lock);
    DropUser(c);
  }
  ChannelUse(const ChannelUse&) = delete;
  ChannelUse& operator=(const ChannelUse&) = delete;

  KsSyncFn entry() const { return entry_; }

 private:
  KsSyncFn entry_ = nullptr;
};

bool UsableHandle(HANDLE device) { return device != nullptr && device != INVALID_HANDLE_VALUE; }

// One IOCTL_KS_PROPERTY with `buffer` as both input and output.
bool Send(KsSyncFn entry, HANDLE device, uint8_t* buffer, ULONG length) {
  ULONG returned = 0;
  const HRESULT hr = entry(device, z9::kIoctlKsProperty, buffer, length, buffer, length, &returned);
  return SUCCEEDED(hr);
}

}  // namespace

int LoadDeviceControl() {
  Channel& c = TheChannel();
  z9::ScopedLock hold(c.lock);
  if (c.entry != nullptr) {
    ++c.users;
    return 1;
  }
  char dir[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryA(dir, sizeof dir);
  if (n == 0 || n >= sizeof dir) return 0;
  char path[MAX_PATH + 16];
  if (std::snprintf(path, sizeof path, "%s\\Ksproxy.ax", dir) >= static_cast<int>(sizeof path)) return 0;
  HMODULE module = LoadLibraryA(path);
  if (module == nullptr) return 0;
  auto entry = reinterpret_cast<KsSyncFn>(GetProcAddress(module, "KsSynchronousDeviceControl"));
  if (entry == nullptr) {
    FreeLibrary(module);
    return 0;
  }
  c.module = module;
  c.entry = entry;
  c.users = 1;
  return 1;
}

void ReleaseDeviceControl() {
  Channel& c = TheChannel();
  z9::ScopedLock hold(c.lock);
  DropUser(c);
}

bool DeviceControlLoaded() {
  Channel& c = TheChannel();
  z9::ScopedLock hold(c.lock);
  return c.entry != nullptr;
}

uint8_t ReadButtonState(HANDLE device) {
  ChannelUse use;
  if (!UsableHandle(device) || use.entry() == nullptr) return z9::kButtonNoResponse;
  uint8_t buf[z9::kButtonRequestSize];
  z9::BuildButtonStateRequest(buf);
  if (!Send(use.entry(), device, buf, sizeof buf)) return z9::kButtonNoResponse;
  return z9::ButtonStateOfReply(buf);
}

uint32_t QueryStillBufferSize(HANDLE device) {
  ChannelUse use;
  if (!UsableHandle(device) || use.entry() == nullptr) return z9::kDefaultStillBufferSize;
  uint8_t buf[z9::kStillSizeRequestSize];
  z9::BuildStillBufferSizeRequest(buf);
  if (!Send(use.entry(), device, buf, sizeof buf)) return z9::kDefaultStillBufferSize;
  uint32_t size = z9::StillBufferSizeOfReply(buf);
  if (size == 0) size = z9::kDefaultStillBufferSize;
  char line[32];
  std::snprintf(line, sizeof line, "GetBuf: %d\n", static_cast<int>(size));
  OutputDebugStringA(line);
  return size;
}

int ReadRegisterByte(HANDLE device, uint16_t address, uint8_t* value) {
  ChannelUse use;
  if (!UsableHandle(device) || use.entry() == nullptr) return 0;
  uint8_t buf[z9::kRegisterRequestSize];
  z9::BuildRegisterReadCommand(buf, address);
  if (!Send(use.entry(), device, buf, sizeof buf)) return 0;
  z9::TurnRegisterReadIntoData(buf);
  if (!Send(use.entry(), device, buf, sizeof buf)) return 0;
  *value = z9::RegisterValueOfReply(buf);
  return 1;
}

int WriteRegisterByte(HANDLE device, uint16_t address, uint8_t value) {
  ChannelUse use;
  if (!UsableHandle(device) || use.entry() == nullptr) return 0;
  uint8_t buf[z9::kRegisterRequestSize];
  z9::BuildRegisterWriteCommand(buf, address, value);
  if (!Send(use.entry(), device, buf, sizeof buf)) return 0;
  z9::TurnRegisterWriteIntoData(buf);
  return Send(use.entry(), device, buf, sizeof buf) ? 1 : 0;
}

int SetGpioOutput(HANDLE device, unsigned pin, bool on) {
  if (pin > z9::kMaxGpioPin) return 0;
  // Refused like every request: nothing is read or written back without a
  // handle or a loaded channel.
  if (!UsableHandle(device) || !DeviceControlLoaded()) return 0;
  const uint8_t bit = z9::GpioPinBit(pin);
  uint8_t direction = 0;
  uint8_t level = 0;
  ReadRegisterByte(device, z9::kRegGpioDirection, &direction);
  ReadRegisterByte(device, z9::kRegGpioLevel, &level);
  WriteRegisterByte(device, z9::kRegGpioDirection, static_cast<uint8_t>(direction | bit));
  level = on ? static_cast<uint8_t>(level | bit) : static_cast<uint8_t>(level & ~bit);
  WriteRegisterByte(device, z9::kRegGpioLevel, level);
  return 1;
}

}  // namespace z9mnt
