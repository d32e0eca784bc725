#include "bench_client.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace z9bench {

Z9B_FAULT MakeFault(uint32_t kind, uint32_t mode, int32_t value, uint32_t count, uint32_t skip) {
  Z9B_FAULT f{};
  f.kind = kind;
  f.id = Z9B_ANY_ID;
  f.flags = 0;
  f.mode = mode;
  f.status = 0;
  f.value = value;
  f.skip = skip;
  f.count = count;
  return f;
}

Bench::~Bench() { Close(); }

Bench::Bench(Bench&& o) noexcept : handle_(std::exchange(o.handle_, INVALID_HANDLE_VALUE)), error_(o.error_) {}

Bench& Bench::operator=(Bench&& o) noexcept {
  if (this != &o) {
    Close();
    handle_ = std::exchange(o.handle_, INVALID_HANDLE_VALUE);
    error_ = o.error_;
  }
  return *this;
}

bool Bench::Open(DWORD waitMs) {
  Close();
  const DWORD start = GetTickCount();
  for (;;) {
    handle_ = CreateFileA(Z9B_CONTROL_PATH_A, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle_ != INVALID_HANDLE_VALUE) {
      error_ = 0;
      return true;
    }
    error_ = GetLastError();
    if (GetTickCount() - start >= waitMs) return false;
    Sleep(50);
  }
}

bool Bench::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

void Bench::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool Bench::Call(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned) {
  if (!IsOpen()) {
    error_ = ERROR_INVALID_HANDLE;
    return false;
  }
  DWORD got = 0;
  if (!DeviceIoControl(handle_, code, const_cast<void*>(in), inLength, out, outLength, &got, nullptr)) {
    error_ = GetLastError();
    return false;
  }
  error_ = 0;
  if (returned) *returned = got;
  return true;
}

bool Bench::GetInfo(Z9B_INFO* info) { return Call(Z9B_IOCTL_GET_INFO, nullptr, 0, info, sizeof *info); }

bool Bench::Reset(uint32_t what) {
  Z9B_RESET r{what};
  return Call(Z9B_IOCTL_RESET, &r, sizeof r, nullptr, 0);
}

bool Bench::ListDevices(std::vector<Z9B_DEVICE>* devices) {
  Z9B_DEVICE_LIST list{};
  if (!Call(Z9B_IOCTL_LIST_DEVICES, nullptr, 0, &list, sizeof list)) return false;
  const uint32_t n = list.count < Z9B_MAX_DEVICES ? list.count : Z9B_MAX_DEVICES;
  devices->assign(list.devices, list.devices + n);
  for (auto& d : *devices) d.instanceId[sizeof d.instanceId - 1] = 0;
  return true;
}

bool Bench::FindDevice(const char* instanceId, Z9B_DEVICE* device) {
  std::vector<Z9B_DEVICE> devices;
  if (!ListDevices(&devices)) return false;
  for (const auto& d : devices) {
    if (lstrcmpiA(d.instanceId, instanceId) == 0) {
      *device = d;
      return true;
    }
  }
  error_ = ERROR_NOT_FOUND;
  return false;
}

bool Bench::SetPlugged(const char* instanceId, bool plugged) {
  Z9B_DEVICE d{};
  if (!FindDevice(instanceId, &d)) return false;
  Z9B_PLUG p{d.slot, plugged ? 1u : 0u};
  return Call(Z9B_IOCTL_SET_PLUGGED, &p, sizeof p, nullptr, 0);
}

bool Bench::PushButtons(const uint8_t* states, size_t count, uint32_t* queued) {
  size_t done = 0;
  do {
    Z9B_BUTTONS b{};
    const size_t n = (count - done) < Z9B_MAX_BUTTONS ? (count - done) : Z9B_MAX_BUTTONS;
    b.count = static_cast<uint32_t>(n);
    if (n) std::memcpy(b.states, states + done, n);
    uint32_t length = 0;
    if (!Call(Z9B_IOCTL_PUSH_BUTTONS, &b, sizeof b, &length, sizeof length)) return false;
    if (queued) *queued = length;
    done += n;
  } while (done < count);
  return true;
}

bool Bench::PushButtons(std::initializer_list<uint8_t> states, uint32_t* queued) {
  return PushButtons(states.begin(), states.size(), queued);
}

bool Bench::ClearButtons() { return Call(Z9B_IOCTL_CLEAR_BUTTONS, nullptr, 0, nullptr, 0); }

bool Bench::SetRegister(uint16_t address, uint8_t value) {
  Z9B_REGISTER r{address, value};
  return Call(Z9B_IOCTL_SET_REGISTER, &r, sizeof r, nullptr, 0);
}

bool Bench::GetRegister(uint16_t address, uint8_t* value) {
  Z9B_REGISTER r{address, 0};
  if (!Call(Z9B_IOCTL_GET_REGISTER, &r, sizeof r, &r, sizeof r)) return false;
  *value = static_cast<uint8_t>(r.value);
  return true;
}

bool Bench::GetLight(Z9B_LIGHT* light) { return Call(Z9B_IOCTL_GET_LIGHT, nullptr, 0, light, sizeof *light); }

bool Bench::SetControl(const Z9B_CONTROL& control) {
  return Call(Z9B_IOCTL_SET_CONTROL, &control, sizeof control, nullptr, 0);
}

bool Bench::GetControl(uint32_t group, uint32_t id, Z9B_CONTROL* control) {
  Z9B_CONTROL c{};
  c.group = group;
  c.id = id;
  if (!Call(Z9B_IOCTL_GET_CONTROL, &c, sizeof c, &c, sizeof c)) return false;
  *control = c;
  return true;
}

bool Bench::SetStillConfig(const Z9B_STILL_CONFIG& config) {
  return Call(Z9B_IOCTL_SET_STILL_CONFIG, &config, sizeof config, nullptr, 0);
}

bool Bench::GetStillConfig(Z9B_STILL_CONFIG* config) {
  return Call(Z9B_IOCTL_GET_STILL_CONFIG, nullptr, 0, config, sizeof *config);
}

bool Bench::UploadStill(const Z9B_STILL_UPLOAD& header, const void* payload, size_t length) {
  if (length > Z9B_MAX_UPLOAD) {
    error_ = ERROR_INVALID_PARAMETER;
    return false;
  }
  std::vector<uint8_t> buffer(sizeof header + length);
  Z9B_STILL_UPLOAD h = header;
  h.payloadLength = static_cast<uint32_t>(length);
  std::memcpy(buffer.data(), &h, sizeof h);
  if (length) std::memcpy(buffer.data() + sizeof h, payload, length);
  return Call(Z9B_IOCTL_UPLOAD_STILL, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, 0);
}

bool Bench::ClearUpload() { return Call(Z9B_IOCTL_CLEAR_UPLOAD, nullptr, 0, nullptr, 0); }

bool Bench::SetStreamInfo(uint32_t type, uint32_t width, uint32_t height) {
  Z9B_STREAM_INFO s{type, width, height};
  return Call(Z9B_IOCTL_SET_STREAM_INFO, &s, sizeof s, nullptr, 0);
}

bool Bench::AddFault(const Z9B_FAULT& fault, uint32_t* slot) {
  uint32_t s = 0;
  DWORD got = 0;
  if (!Call(Z9B_IOCTL_ADD_FAULT, &fault, sizeof fault, &s, sizeof s, &got)) return false;
  if (slot) *slot = s;
  return true;
}

bool Bench::ClearFaults() { return Call(Z9B_IOCTL_CLEAR_FAULTS, nullptr, 0, nullptr, 0); }

bool Bench::GetCounters(Z9B_COUNTERS* counters) {
  return Call(Z9B_IOCTL_GET_COUNTERS, nullptr, 0, counters, sizeof *counters);
}

bool Bench::ReadLog(std::vector<Z9B_LOG_ENTRY>* entries, uint32_t fromSequence) {
  std::vector<Z9B_LOG_ENTRY> buffer(Z9B_LOG_ENTRIES);
  Z9B_LOG_QUERY q{fromSequence, Z9B_LOG_ENTRIES};
  DWORD got = 0;
  if (!Call(Z9B_IOCTL_READ_LOG, &q, sizeof q, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof buffer[0]),
            &got))
    return false;
  buffer.resize(got / sizeof(Z9B_LOG_ENTRY));
  *entries = std::move(buffer);
  return true;
}

bool Bench::ClearLog() { return Call(Z9B_IOCTL_CLEAR_LOG, nullptr, 0, nullptr, 0); }

const char* KindName(uint32_t kind) {
  switch (kind) {
    case Z9B_KIND_ANY: return "any";
    case Z9B_KIND_BUTTON: return "button";
    case Z9B_KIND_STILL: return "still";
    case Z9B_KIND_REGISTER: return "register";
    case Z9B_KIND_STREAM_INFO: return "streaminfo";
    case Z9B_KIND_STILL_SIZE: return "stillsize";
    case Z9B_KIND_EXT_CONTROL: return "control";
    case Z9B_KIND_PROCAMP: return "procamp";
    case Z9B_KIND_CAMCONTROL: return "camcontrol";
    case Z9B_KIND_OTHER: return "other";
    default: return "?";
  }
}

std::string DescribeLogEntry(const Z9B_LOG_ENTRY& e) {
  char line[512];
  int n = std::snprintf(line, sizeof line, "#%u dev %u %s id %u flags 0x%X in %u out %u -> 0x%08X (%u bytes)%s",
                        e.sequence, e.slot, KindName(e.kind), e.id, e.flags, e.inLength, e.outLength, e.status,
                        e.returned, e.fault ? " [fault]" : "");
  std::string s(line, n > 0 ? static_cast<size_t>(n) : 0);
  if (e.inLength > 24) {
    s += " data:";
    const uint32_t shown = e.inLength < 40 ? e.inLength : 40;
    for (uint32_t i = 24; i < shown; ++i) {
      char b[4];
      std::snprintf(b, sizeof b, " %02X", e.in[i]);
      s += b;
    }
  }
  return s;
}

}  // namespace z9bench
