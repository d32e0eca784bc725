// The monitor's requests against a camera that misbehaves, in this process:
// each request kind failed, answered without a word written, and answered
// with garbage, then the same request answered normally; a camera that goes
// away under an open handle; and messenger switch blocks of every size up to
// 64 bytes, each ending where readable memory ends.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench_client.h"
#include "debug_output.h"
#include "device_control.h"
#include "device_presence.h"
#include "messenger.h"
#include "monitor_state.h"
#include "win_handles.h"

using namespace z9mnt;

namespace {

constexpr uint16_t kProbeRegister = 0x8123;
constexpr uint8_t kProbeValue = 0x3C;

class ChannelFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bench.Open(10000)) << bench.LastError();
    ASSERT_TRUE(bench.Reset());
    std::strcpy(Monitor().devInstanceName, "VID_FFF1&PID_A14C");
    camera = OpenCameraDevice();
    ASSERT_TRUE(camera) << "the bench camera does not open";
    ASSERT_EQ(LoadDeviceControl(), 1);
  }
  void TearDown() override {
    while (DeviceControlLoaded()) ReleaseDeviceControl();
    camera.reset();
    bench.Reset();
  }

  z9bench::Bench bench;
  z9::UniqueHandle camera;
};

// What one request gave: its result and, for the reads, what it delivered.
struct Outcome {
  uint32_t result = 0;
  int32_t delivered = -1;  // register byte; -1 when nothing was delivered
  std::vector<std::string> debug;
};

enum class Kind { kButton, kStillSize, kRegisterRead, kRegisterWrite };

const char* NameOf(Kind k) {
  switch (k) {
    case Kind::kButton: return "button state";
    case Kind::kStillSize: return "still size";
    case Kind::kRegisterRead: return "register read";
    case Kind::kRegisterWrite: return "register write";
  }
  return "?";
}

Outcome Send(Kind kind, HANDLE h) {
  Outcome o;
  DebugOutput out;
  switch (kind) {
    case Kind::kButton: o.result = ReadButtonState(h); break;
    case Kind::kStillSize: o.result = QueryStillBufferSize(h); break;
    case Kind::kRegisterRead: {
      uint8_t v = 0xEE;
      o.result = static_cast<uint32_t>(ReadRegisterByte(h, kProbeRegister, &v));
      if (o.result == 1) {
        o.delivered = v;
      } else {
        EXPECT_EQ(v, 0xEE) << "a failed read must leave its output alone";
      }
      break;
    }
    case Kind::kRegisterWrite: o.result = static_cast<uint32_t>(WriteRegisterByte(h, kProbeRegister, 0x5A)); break;
  }
  o.debug = out.lines;
  return o;
}

struct FaultCase {
  Kind kind;
  uint32_t benchKind;
  uint32_t flags;  // request flags the fault matches (0: any)
  uint32_t mode;
  int32_t value;
  uint32_t result;                 // what the request gives under the fault
  int32_t delivered;               // register byte delivered, -1 for none
  std::vector<std::string> debug;  // debugger lines
};

// The normal answer of each kind on the reset bench (the register primed
// with kProbeValue, one button state 1 queued).
Outcome Normal(Kind kind) {
  switch (kind) {
    case Kind::kButton: return {1, -1, {}};
    case Kind::kStillSize: return {921600, -1, {"GetBuf: 921600\n"}};
    case Kind::kRegisterRead: return {1, kProbeValue, {}};
    case Kind::kRegisterWrite: return {1, -1, {}};
  }
  return {};
}

TEST_F(ChannelFaults, EveryKindFailedSilentOrGarbledThenAnsweredNormally) {
  const uint32_t kGet = 1, kSet = 2;
  const std::vector<FaultCase> cases = {
      // The button: a failure and a silent answer read as no response (99);
      // any other byte is passed on as it came for the poller to judge.
      {Kind::kButton, Z9B_KIND_BUTTON, 0, Z9B_FAULT_FAIL, 0, 99, -1, {}},
      {Kind::kButton, Z9B_KIND_BUTTON, 0, Z9B_FAULT_NOWRITE, 0, 99, -1, {}},
      {Kind::kButton, Z9B_KIND_BUTTON, 0, Z9B_FAULT_VALUE, 4, 4, -1, {}},
      {Kind::kButton, Z9B_KIND_BUTTON, 0, Z9B_FAULT_VALUE, 98, 98, -1, {}},
      {Kind::kButton, Z9B_KIND_BUTTON, 0, Z9B_FAULT_VALUE, 255, 255, -1, {}},
      // The still size: nothing or 0 is 921600; other numbers are only shown.
      {Kind::kStillSize, Z9B_KIND_STILL_SIZE, 0, Z9B_FAULT_FAIL, 0, 921600, -1, {}},
      {Kind::kStillSize, Z9B_KIND_STILL_SIZE, 0, Z9B_FAULT_NOWRITE, 0, 921600, -1, {"GetBuf: 921600\n"}},
      {Kind::kStillSize, Z9B_KIND_STILL_SIZE, 0, Z9B_FAULT_VALUE, 0, 921600, -1, {"GetBuf: 921600\n"}},
      {Kind::kStillSize, Z9B_KIND_STILL_SIZE, 0, Z9B_FAULT_VALUE, -1, 0xFFFFFFFFu, -1, {"GetBuf: -1\n"}},
      {Kind::kStillSize, Z9B_KIND_STILL_SIZE, 0, Z9B_FAULT_VALUE, 0x7FFFFFFF, 0x7FFFFFFFu, -1,
       {"GetBuf: 2147483647\n"}},
      // A register read: either phase failing delivers nothing; a silent data
      // phase leaves the zero that was sent; a garbled one gives its low byte.
      {Kind::kRegisterRead, Z9B_KIND_REGISTER, kSet, Z9B_FAULT_FAIL, 0, 0, -1, {}},
      {Kind::kRegisterRead, Z9B_KIND_REGISTER, kGet, Z9B_FAULT_FAIL, 0, 0, -1, {}},
      {Kind::kRegisterRead, Z9B_KIND_REGISTER, kGet, Z9B_FAULT_NOWRITE, 0, 1, 0, {}},
      {Kind::kRegisterRead, Z9B_KIND_REGISTER, kGet, Z9B_FAULT_VALUE, 0x1A5, 1, 0xA5, {}},
      // A register write: a failed command phase is reported, and so is one
      // the camera swallowed silently (its data phase then has no command).
      {Kind::kRegisterWrite, Z9B_KIND_REGISTER, kSet, Z9B_FAULT_FAIL, 0, 0, -1, {}},
      {Kind::kRegisterWrite, Z9B_KIND_REGISTER, kSet, Z9B_FAULT_NOWRITE, 0, 0, -1, {}},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(testing::Message() << NameOf(c.kind) << ", mode " << c.mode << ", value " << c.value);
    ASSERT_TRUE(bench.Reset());
    ASSERT_TRUE(bench.SetRegister(kProbeRegister, kProbeValue));
    ASSERT_TRUE(bench.PushButtons({1}));
    Z9B_FAULT f = z9bench::MakeFault(c.benchKind, c.mode, c.value, /*count*/ 1);
    f.flags = c.flags;
    ASSERT_TRUE(bench.AddFault(f));
    Z9B_COUNTERS before{};
    ASSERT_TRUE(bench.GetCounters(&before));

    const Outcome faulty = Send(c.kind, camera.get());
    EXPECT_EQ(faulty.result, c.result);
    EXPECT_EQ(faulty.delivered, c.delivered);
    EXPECT_EQ(faulty.debug, c.debug);
    Z9B_COUNTERS after{};
    ASSERT_TRUE(bench.GetCounters(&after));
    EXPECT_EQ(after.faultsApplied, before.faultsApplied + 1) << "the fault was not reached";

    // The fault is spent: the same request on the same handle is answered normally.
    if (c.kind == Kind::kButton && c.mode == Z9B_FAULT_VALUE) {
      ASSERT_TRUE(bench.PushButtons({1}));
    }
    const Outcome normal = Send(c.kind, camera.get());
    const Outcome want = Normal(c.kind);
    EXPECT_EQ(normal.result, want.result) << "the next request after the fault";
    EXPECT_EQ(normal.delivered, want.delivered);
    EXPECT_EQ(normal.debug, want.debug);
  }

  // The write's data phase failing after its command phase went through.
  ASSERT_TRUE(bench.Reset());
  Z9B_FAULT second = z9bench::MakeFault(Z9B_KIND_REGISTER, Z9B_FAULT_FAIL, 0, 1, /*skip*/ 1);
  ASSERT_TRUE(bench.AddFault(second));
  EXPECT_EQ(WriteRegisterByte(camera.get(), kProbeRegister, 0x5A), 0);
  uint8_t v = 0;
  ASSERT_TRUE(bench.GetRegister(kProbeRegister, &v));
  EXPECT_NE(v, 0x5A) << "a write whose data phase failed changed the register";
  EXPECT_EQ(WriteRegisterByte(camera.get(), kProbeRegister, 0x5A), 1);
  ASSERT_TRUE(bench.GetRegister(kProbeRegister, &v));
  EXPECT_EQ(v, 0x5A);
}

// The light pins on a camera whose register requests all misbehave: the
// operation still answers 1 (failures are not reported) and never writes
// garbage into bits other than the pin's.
TEST_F(ChannelFaults, TheLightPinOverGarbledRegisterReads) {
  ASSERT_TRUE(bench.SetRegister(0x8177, 0x00));
  ASSERT_TRUE(bench.SetRegister(0x8176, 0x00));
  Z9B_FAULT f = z9bench::MakeFault(Z9B_KIND_REGISTER, Z9B_FAULT_VALUE, 0x81);
  f.flags = 1;
  ASSERT_TRUE(bench.AddFault(f));
  EXPECT_EQ(SetGpioOutput(camera.get(), 6, true), 1);
  uint8_t direction = 0, level = 0;
  ASSERT_TRUE(bench.GetRegister(0x8177, &direction));
  ASSERT_TRUE(bench.GetRegister(0x8176, &level));
  // What the camera claimed (0x81) is carried, plus the pin's bit.
  EXPECT_EQ(direction, 0xC1);
  EXPECT_EQ(level, 0xC1);
  ASSERT_TRUE(bench.ClearFaults());
  EXPECT_EQ(SetGpioOutput(camera.get(), 6, false), 1);
  ASSERT_TRUE(bench.GetRegister(0x8176, &level));
  EXPECT_EQ(level, 0x81);
}

// The camera goes away while the handle of a poll is open: every request on
// that handle fails into its no-answer value, also after the camera is back,
// and a handle opened afterwards works.
TEST_F(ChannelFaults, ACameraThatGoesAwayUnderAnOpenHandle) {
  ASSERT_TRUE(bench.PushButtons({1, 1}));
  EXPECT_EQ(ReadButtonState(camera.get()), 1) << "the handle works before";
  ASSERT_TRUE(bench.Unplug());
  for (bool replugged : {false, true}) {
    SCOPED_TRACE(replugged ? "after the replug" : "while unplugged");
    if (replugged) {
      ASSERT_TRUE(bench.Replug());
    }
    EXPECT_EQ(Send(Kind::kButton, camera.get()).result, 99u);
    EXPECT_EQ(Send(Kind::kStillSize, camera.get()).result, 921600u);
    EXPECT_TRUE(Send(Kind::kStillSize, camera.get()).debug.empty());
    EXPECT_EQ(Send(Kind::kRegisterRead, camera.get()).result, 0u);
    EXPECT_EQ(Send(Kind::kRegisterWrite, camera.get()).result, 0u);
    EXPECT_EQ(SetGpioOutput(camera.get(), 6, true), 1) << "failures are not reported";
  }
  camera.reset();
  for (int attempt = 0; attempt < 100 && !camera; ++attempt) {
    camera = OpenCameraDevice();
    if (!camera) Sleep(50);
  }
  ASSERT_TRUE(camera) << "the camera does not open again after the replug";
  EXPECT_EQ(ReadButtonState(camera.get()), 1) << "the queued press survives";
}

// Memory whose readable part ends exactly where a block of `size` bytes ends.
class GuardedBlock {
 public:
  explicit GuardedBlock(size_t size) {
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (base_ != nullptr) {
      DWORD old = 0;
      VirtualProtect(base_ + kPage, kPage, PAGE_NOACCESS, &old);
      data_ = base_ + kPage - size;
    }
  }
  ~GuardedBlock() {
    if (base_ != nullptr) VirtualFree(base_, 0, MEM_RELEASE);
  }
  GuardedBlock(const GuardedBlock&) = delete;
  GuardedBlock& operator=(const GuardedBlock&) = delete;
  uint8_t* data() const { return data_; }

 private:
  static constexpr size_t kPage = 4096;
  uint8_t* base_ = nullptr;
  uint8_t* data_ = nullptr;
};

// The messenger window's procedure in this process: blocks of every size
// from 0 to 64 bytes of random content, each ending at unreadable memory.
// Only a block of 8 bytes or more switches, by its second word; every
// message is answered 1.
TEST(MessengerBlocks, EverySizeUpTo64WithRandomBytes) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  ASSERT_TRUE(RegisterMessengerClass(instance));
  HWND window = CreateWindowExA(0, kMessengerClass, kMessengerTitle, WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                                nullptr, instance, nullptr);
  ASSERT_NE(window, nullptr);
  std::mt19937 random(20261208);
  for (int round = 0; round < 8; ++round) {
    for (DWORD size = 0; size <= 64; ++size) {
      SCOPED_TRACE(testing::Message() << "round " << round << ", " << size << " bytes");
      GuardedBlock block(size);
      ASSERT_NE(block.data(), nullptr);
      for (DWORD i = 0; i < size; ++i) block.data()[i] = static_cast<uint8_t>(random());
      // Every other round the switch word is zero, so both answers occur.
      if (size >= 8 && round % 2 == 1) std::memset(block.data() + 4, 0, 4);
      const bool before = !Monitor().blink;  // the opposite of the expected result
      Monitor().blink = before;
      COPYDATASTRUCT copy{};
      copy.dwData = random();
      copy.cbData = size;
      copy.lpData = size ? block.data() : nullptr;
      EXPECT_EQ(SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy)), 1);
      if (size < 8) {
        EXPECT_EQ(Monitor().blink.load(), before) << "a short block switched the light";
      } else {
        const bool on = (block.data()[4] | block.data()[5] | block.data()[6] | block.data()[7]) != 0;
        EXPECT_EQ(Monitor().blink.load(), on);
      }
    }
  }
  // A block that claims more bytes than it has a pointer for, and no block.
  Monitor().blink = true;
  COPYDATASTRUCT none{0, 64, nullptr};
  EXPECT_EQ(SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&none)), 1);
  EXPECT_EQ(SendMessageA(window, WM_COPYDATA, 0, 0), 1);
  EXPECT_TRUE(Monitor().blink.load());
  DestroyWindow(window);
  Monitor().blink = false;
}

}  // namespace
