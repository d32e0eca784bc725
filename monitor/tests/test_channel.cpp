// The monitor's control channel on its own, in this process, against the
// bench camera: refusals, the still-size fallback with its debugger line,
// the light pins, a proxy module that cannot be loaded, and the use count
// shared by threads. What the camera was sent is read from its request log.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "bench_client.h"
#include "debug_output.h"
#include "device_control.h"
#include "device_presence.h"
#include "monitor_state.h"
#include "win_handles.h"

using namespace z9mnt;

namespace {

constexpr uint16_t kLevel = 0x8176;
constexpr uint16_t kDirection = 0x8177;

class Channel : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bench.Open(10000)) << bench.LastError();
    ASSERT_TRUE(bench.Reset());
    std::strcpy(Monitor().devInstanceName, "VID_FFF1&PID_A14C");
    camera = OpenCameraDevice();
    ASSERT_TRUE(camera) << "the bench camera does not open";
    ASSERT_FALSE(DeviceControlLoaded()) << "a test left the channel loaded";
    ASSERT_TRUE(bench.ClearLog());
  }
  void TearDown() override {
    while (DeviceControlLoaded()) ReleaseDeviceControl();
    camera.reset();
    bench.Reset();
  }

  uint32_t Requests() {
    Z9B_COUNTERS c{};
    EXPECT_TRUE(bench.GetCounters(&c));
    return c.requests;
  }
  std::vector<Z9B_LOG_ENTRY> Log() {
    std::vector<Z9B_LOG_ENTRY> entries;
    EXPECT_TRUE(bench.ReadLog(&entries));
    return entries;
  }
  uint8_t Register(uint16_t address) {
    uint8_t v = 0;
    EXPECT_TRUE(bench.GetRegister(address, &v));
    return v;
  }

  // Every request form, expecting its failure value and nothing sent.
  void ExpectAllRefused(HANDLE h, const char* what) {
    SCOPED_TRACE(what);
    const uint32_t before = Requests();
    EXPECT_EQ(ReadButtonState(h), 99);
    EXPECT_EQ(QueryStillBufferSize(h), 921600u);
    uint8_t value = 0x77;
    EXPECT_EQ(ReadRegisterByte(h, kLevel, &value), 0);
    EXPECT_EQ(value, 0x77) << "a refused read delivers nothing";
    EXPECT_EQ(WriteRegisterByte(h, kLevel, 1), 0);
    for (unsigned pin = 0; pin <= 8; ++pin) EXPECT_EQ(SetGpioOutput(h, pin, true), 0) << "pin " << pin;
    EXPECT_EQ(Requests(), before) << "a refused request reached the camera";
  }

  z9bench::Bench bench;
  z9::UniqueHandle camera;
};

TEST_F(Channel, EveryRequestIsRefusedWithoutAHandleOrALoadedChannel) {
  ExpectAllRefused(camera.get(), "channel not loaded");
  ASSERT_EQ(LoadDeviceControl(), 1);
  ExpectAllRefused(nullptr, "null handle");
  ExpectAllRefused(INVALID_HANDLE_VALUE, "invalid handle");
  ReleaseDeviceControl();
  EXPECT_FALSE(DeviceControlLoaded());
  ExpectAllRefused(camera.get(), "channel released");
}

TEST_F(Channel, AStillSizeOfZeroOrNoAnswerGives921600) {
  ASSERT_EQ(LoadDeviceControl(), 1);
  {
    DebugOutput out;
    ASSERT_TRUE(bench.AddFault(z9bench::MakeFault(Z9B_KIND_STILL_SIZE, Z9B_FAULT_VALUE, 0)));
    EXPECT_EQ(QueryStillBufferSize(camera.get()), 921600u);
    ASSERT_EQ(out.lines.size(), 1u);
    EXPECT_EQ(out.lines[0], "GetBuf: 921600\n");
  }
  {
    DebugOutput out;
    ASSERT_TRUE(bench.ClearFaults());
    ASSERT_TRUE(bench.AddFault(z9bench::MakeFault(Z9B_KIND_STILL_SIZE, Z9B_FAULT_VALUE, 123456)));
    EXPECT_EQ(QueryStillBufferSize(camera.get()), 123456u);
    ASSERT_EQ(out.lines.size(), 1u);
    EXPECT_EQ(out.lines[0], "GetBuf: 123456\n");
  }
  {
    DebugOutput out;
    ASSERT_TRUE(bench.ClearFaults());
    ASSERT_TRUE(bench.AddFault(z9bench::MakeFault(Z9B_KIND_STILL_SIZE, Z9B_FAULT_FAIL)));
    EXPECT_EQ(QueryStillBufferSize(camera.get()), 921600u);
    EXPECT_TRUE(out.lines.empty()) << "a failed request writes no line";
  }
}

TEST_F(Channel, PinNineSendsNothingAndPinEightWritesBothRegistersBackUnchanged) {
  ASSERT_EQ(LoadDeviceControl(), 1);
  ASSERT_TRUE(bench.SetRegister(kLevel, 0x5A));
  ASSERT_TRUE(bench.SetRegister(kDirection, 0xA5));
  ASSERT_TRUE(bench.ClearLog());

  EXPECT_EQ(SetGpioOutput(camera.get(), 9, true), 0);
  EXPECT_EQ(SetGpioOutput(camera.get(), 200, false), 0);
  EXPECT_EQ(Requests(), 0u);

  EXPECT_EQ(SetGpioOutput(camera.get(), 8, true), 1);
  EXPECT_EQ(Register(kLevel), 0x5A);
  EXPECT_EQ(Register(kDirection), 0xA5);
  // Two reads and two writes of two calls each; the writes' data phases
  // carry the values read.
  const auto log = Log();
  ASSERT_EQ(log.size(), 8u);
  std::vector<std::pair<uint16_t, uint8_t>> writes;
  for (const auto& e : log) {
    EXPECT_EQ(e.kind, static_cast<uint32_t>(Z9B_KIND_REGISTER));
    EXPECT_EQ(e.status, 0u);
    const bool dataPhase = e.in[24] == 0;
    const bool write = e.in[25] == 1;
    if (dataPhase && write) writes.emplace_back(static_cast<uint16_t>(e.in[30] | (e.in[31] << 8)), e.in[94]);
  }
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].first, kDirection);
  EXPECT_EQ(writes[0].second, 0xA5);
  EXPECT_EQ(writes[1].first, kLevel);
  EXPECT_EQ(writes[1].second, 0x5A);
}

TEST_F(Channel, EachPinSetsAndClearsOnlyItsOwnBit) {
  ASSERT_EQ(LoadDeviceControl(), 1);
  for (unsigned pin = 0; pin < 8; ++pin) {
    SCOPED_TRACE(pin);
    const uint8_t bit = static_cast<uint8_t>(1u << pin);
    ASSERT_TRUE(bench.SetRegister(kLevel, static_cast<uint8_t>(0x81 ^ bit)));
    ASSERT_TRUE(bench.SetRegister(kDirection, 0x10 & static_cast<uint8_t>(~bit)));
    EXPECT_EQ(SetGpioOutput(camera.get(), pin, true), 1);
    EXPECT_EQ(Register(kDirection), static_cast<uint8_t>((0x10 & ~bit) | bit));
    EXPECT_EQ(Register(kLevel), static_cast<uint8_t>((0x81 ^ bit) | bit));
    EXPECT_EQ(SetGpioOutput(camera.get(), pin, false), 1);
    EXPECT_EQ(Register(kDirection), static_cast<uint8_t>((0x10 & ~bit) | bit));
    EXPECT_EQ(Register(kLevel), static_cast<uint8_t>((0x81 ^ bit) & ~bit));
  }
}

TEST_F(Channel, AFailedReadLeavesZeroAndTheWritesStillGo) {
  ASSERT_EQ(LoadDeviceControl(), 1);
  ASSERT_TRUE(bench.SetRegister(kLevel, 0xF0));
  ASSERT_TRUE(bench.SetRegister(kDirection, 0x0F));
  // Every GET of the register property fails: both reads deliver nothing.
  Z9B_FAULT f = z9bench::MakeFault(Z9B_KIND_REGISTER, Z9B_FAULT_FAIL);
  f.flags = 1;
  ASSERT_TRUE(bench.AddFault(f));
  EXPECT_EQ(SetGpioOutput(camera.get(), 6, true), 1);
  EXPECT_EQ(Register(kDirection), 0x40);
  EXPECT_EQ(Register(kLevel), 0x40);
}

// The proxy module is the system directory's Ksproxy.ax; without it the
// channel does not load and every request is refused.
TEST_F(Channel, WithoutTheProxyModuleTheChannelDoesNotLoad) {
  char dir[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryA(dir, sizeof dir), 0u);
  const std::string path = std::string(dir) + "\\Ksproxy.ax";
  const std::string aside = path + ".z9aside";
  ASSERT_TRUE(MoveFileA(path.c_str(), aside.c_str())) << GetLastError();
  const int loaded = LoadDeviceControl();
  const bool stillLoaded = DeviceControlLoaded();
  ExpectAllRefused(camera.get(), "no proxy module");
  ASSERT_TRUE(MoveFileA(aside.c_str(), path.c_str())) << "put " << aside << " back by hand";
  EXPECT_EQ(loaded, 0);
  EXPECT_FALSE(stillLoaded);
  EXPECT_EQ(LoadDeviceControl(), 1) << "the channel loads again once the module is back";
}

struct ChannelUsers {
  HANDLE camera = nullptr;
  std::atomic<int> refused{0};
  std::atomic<int> loads{0};
};

DWORD WINAPI ChannelUser(void* arg) {
  auto* s = static_cast<ChannelUsers*>(arg);
  for (int i = 0; i < 40; ++i) {
    if (LoadDeviceControl() != 1) continue;
    ++s->loads;
    // One call per request (the register's two phases would interleave
    // between threads in the camera itself).
    if (ReadButtonState(s->camera) == 99) ++s->refused;
    ReleaseDeviceControl();
  }
  return 0;
}

// Threads load, use and release the channel in any order; the module stays
// while any of them holds it, and a request never fails for want of it.
TEST_F(Channel, TheModuleStaysWhileAnyThreadHoldsTheChannel) {
  ASSERT_EQ(LoadDeviceControl(), 1);  // this thread's hold
  ChannelUsers shared;
  shared.camera = camera.get();
  HANDLE threads[4];
  for (auto& t : threads) {
    t = CreateThread(nullptr, 0, ChannelUser, &shared, 0, nullptr);
    ASSERT_NE(t, nullptr);
  }
  WaitForMultipleObjects(4, threads, TRUE, 60000);
  for (HANDLE t : threads) CloseHandle(t);
  EXPECT_EQ(shared.loads.load(), 160);
  EXPECT_EQ(shared.refused.load(), 0);
  EXPECT_TRUE(DeviceControlLoaded()) << "the threads' releases took this thread's hold";
  uint8_t v = 0;
  EXPECT_EQ(ReadRegisterByte(camera.get(), kLevel, &v), 1);
  ReleaseDeviceControl();
  EXPECT_FALSE(DeviceControlLoaded()) << "the last release unloads";
  EXPECT_EQ(ReadButtonState(camera.get()), 99);
}

}  // namespace
