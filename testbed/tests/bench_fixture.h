// What the bench's tests share: the control device opened and reset around
// every test, the camera opened the way the monitor opens it, and
// KsSynchronousDeviceControl taken from the prefix's Ksproxy.ax.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench_client.h"
#include "bench_setup.h"

namespace benchtest {

using KsSyncFn = HRESULT(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PVOID, ULONG, PULONG);

// Ksproxy.ax of the system directory, loaded as the monitor loads it.
class KsChannel {
 public:
  KsChannel() {
    char dir[MAX_PATH] = {};
    GetSystemDirectoryA(dir, MAX_PATH);
    module_ = LoadLibraryA((std::string(dir) + "\\Ksproxy.ax").c_str());
    if (module_) fn_ = reinterpret_cast<KsSyncFn>(GetProcAddress(module_, "KsSynchronousDeviceControl"));
  }
  ~KsChannel() {
    if (module_) FreeLibrary(module_);
  }
  KsChannel(const KsChannel&) = delete;
  KsChannel& operator=(const KsChannel&) = delete;
  bool ok() const { return fn_ != nullptr; }

  // One IOCTL_KS_PROPERTY with separate input and output buffers.
  HRESULT Call(HANDLE device, void* in, ULONG inLength, void* out, ULONG outLength, ULONG* returned = nullptr) const {
    ULONG got = 0;
    const HRESULT hr = fn_(device, 0x2F0003, in, inLength, out, outLength, &got);
    if (returned) *returned = got;
    return hr;
  }
  // The monitor's form: one buffer as both input and output.
  HRESULT Call(HANDLE device, uint8_t* buffer, ULONG length, ULONG* returned = nullptr) const {
    return Call(device, buffer, length, buffer, length, returned);
  }

 private:
  HMODULE module_ = nullptr;
  KsSyncFn fn_ = nullptr;
};

// A handle on a device's capture interface (GENERIC_READ, like the monitor).
class DeviceHandle {
 public:
  explicit DeviceHandle(const char* instanceId = z9bench::kCameraInstanceId) {
    if (z9bench::FindCaptureInterface(instanceId, &path_))
      h_ = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  ~DeviceHandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  DeviceHandle(const DeviceHandle&) = delete;
  DeviceHandle& operator=(const DeviceHandle&) = delete;
  HANDLE get() const { return h_; }
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

// Every test starts and ends with a camera in its default state.
class BenchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bench.Open(15000)) << "control device missing, error " << bench.LastError();
    ASSERT_TRUE(bench.Reset());
  }
  void TearDown() override {
    if (bench.IsOpen()) bench.Reset();
  }

  // Log entries from `from` on, of one kind.
  std::vector<Z9B_LOG_ENTRY> LogOf(uint32_t kind, uint32_t from = 0) {
    std::vector<Z9B_LOG_ENTRY> all, some;
    EXPECT_TRUE(bench.ReadLog(&all, from));
    for (const auto& e : all)
      if (e.kind == kind) some.push_back(e);
    return some;
  }

  z9bench::Bench bench;
};

}  // namespace benchtest
