// The soak's own equipment: the button script and its expected account, and
// the figures read from outside a process (they must see a leak).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "button_script.h"
#include "process_stats.h"
#include "wintest.h"

namespace {

using z9soak::EventAccount;
using z9soak::ExpectedEvents;

TEST(ButtonAccount, ACycleAfterAnActedOnStateReadsAsZero) {
  EXPECT_EQ(ExpectedEvents({1, 1, 1, 1, 1}).snapshots, 3);
  EXPECT_EQ(ExpectedEvents({1, 0, 1, 0, 1}).snapshots, 3);
  // 2, 3 and 11 silence the next cycle too.
  EXPECT_EQ(ExpectedEvents({2, 1, 3, 1, 0, 1}).snapshots, 1);
  const EventAccount a = ExpectedEvents({11, 1, 11, 0, 11, 11});
  EXPECT_EQ(a.launches, 3);
  EXPECT_EQ(a.snapshots, 0);
  // A silenced state is not acted on, whatever it is.
  EXPECT_EQ(ExpectedEvents({1, 11, 1}).launches, 0);
  EXPECT_EQ(ExpectedEvents({1, 11, 1}).snapshots, 2);
  EXPECT_EQ(ExpectedEvents({3, 2, 2}).logged, 2);
}

TEST(ButtonAccount, TenUnansweredCyclesInARowEndPolling) {
  std::vector<uint8_t> nine(9, 99);
  EXPECT_FALSE(ExpectedEvents(nine).threadEnds);
  nine.push_back(0);
  nine.insert(nine.end(), 9, 99);
  EXPECT_FALSE(ExpectedEvents(nine).threadEnds) << "an answer starts the count again";
  EXPECT_TRUE(ExpectedEvents(std::vector<uint8_t>(10, 99)).threadEnds);
  // A silenced 99 reads as 0 and clears the count.
  std::vector<uint8_t> broken = {99, 99, 99, 99, 99, 1, 99, 99, 99, 99, 99, 99};
  EXPECT_FALSE(ExpectedEvents(broken).threadEnds);
}

TEST(ButtonScript, PushesFitTheBenchEndInZeroAndNeverEndPolling) {
  for (size_t count : {1u, 17u, 200u, 10000u}) {
    SCOPED_TRACE(count);
    const auto script = z9soak::MakeButtonScript(count, 7);
    size_t total = 0;
    std::set<int> kinds;
    std::vector<uint8_t> all;
    for (const auto& push : script) {
      ASSERT_FALSE(push.empty());
      EXPECT_LE(push.size(), 64u);
      EXPECT_EQ(push.back(), 0);
      total += push.size();
      kinds.insert(push.begin(), push.end());
      all.insert(all.end(), push.begin(), push.end());
    }
    EXPECT_EQ(total, count);
    EXPECT_FALSE(ExpectedEvents(all).threadEnds);
    if (count >= 200) {
      EXPECT_EQ(kinds, (std::set<int>{0, 1, 2, 3, 11, 99}));
    }
  }
  // The same seed, the same script; another seed, another one.
  EXPECT_EQ(z9soak::MakeButtonScript(500, 3), z9soak::MakeButtonScript(500, 3));
  EXPECT_NE(z9soak::MakeButtonScript(500, 3), z9soak::MakeButtonScript(500, 4));
}

TEST(ButtonScript, AStateAfterAPushReadsTheSameWhateverZerosComeBetween) {
  // The queue may run dry between two pushes: the monitor then reads extra
  // zeros, which must not change the account.
  const auto script = z9soak::MakeButtonScript(3000, 11);
  std::vector<uint8_t> tight, loose;
  int parts = 0;
  for (const auto& push : script) {
    tight.insert(tight.end(), push.begin(), push.end());
    loose.insert(loose.end(), push.begin(), push.end());
    loose.insert(loose.end(), 1 + parts++ % 3, 0);
  }
  const EventAccount a = ExpectedEvents(tight), b = ExpectedEvents(loose);
  EXPECT_EQ(a.snapshots, b.snapshots);
  EXPECT_EQ(a.launches, b.launches);
  EXPECT_EQ(a.logged, b.logged);
  int sum = 0;
  for (const auto& push : script) sum += ExpectedEvents(push).snapshots;
  EXPECT_EQ(sum, a.snapshots) << "pushes can be accounted one by one";
}

DWORD WINAPI WaitForStop(void* stop) { return WaitForSingleObject(static_cast<HANDLE>(stop), 10000); }

// The test's own process, read the way the soak reads the monitor.
TEST(ProcessFigures, SeeHandlesAndThreadsComeAndGo) {
  const DWORD self = GetCurrentProcessId();
  const z9soak::HandleSource source = z9soak::ChooseHandleSource(self);
  const z9soak::ProcessStats before = z9soak::MeasureProcess(self, source);
  ASSERT_GT(before.threads, 0);

  std::vector<HANDLE> events;
  for (int i = 0; i < 40; ++i) events.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(nullptr, 0, WaitForStop, stop, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  const z9soak::ProcessStats during = z9soak::MeasureProcess(self, source);
  EXPECT_EQ(during.threads, before.threads + 1);
  if (source != z9soak::HandleSource::None) {
    EXPECT_GE(during.handles, before.handles + 42);
  }

  SetEvent(stop);
  WaitForSingleObject(thread, 10000);
  CloseHandle(thread);
  CloseHandle(stop);
  for (HANDLE e : events) CloseHandle(e);
  EXPECT_TRUE(wintest::WaitUntil([&] { return z9soak::CountThreads(self) == before.threads; }, 3000));
  if (source != z9soak::HandleSource::None) {
    EXPECT_EQ(z9soak::MeasureProcess(self, source).handles, before.handles);
  } else {
    std::printf("no handle count on this system\n");
  }
  std::printf("handle count from %s\n", z9soak::HandleSourceName(source));

  // 32 MiB written show as private memory.
  const int64_t privateBefore = z9soak::MeasureProcess(self, source).privateBytes;
  if (privateBefore < 0) GTEST_SKIP() << "no private memory figure on this system";
  std::vector<char> block(32u << 20, 1);
  const int64_t privateAfter = z9soak::MeasureProcess(self, source).privateBytes;
  EXPECT_GE(privateAfter - privateBefore, 30 << 20) << block[12345];
}

// The stand-in's allowance counts unnamed semaphores by their description:
// anything else must not pass as one.
TEST(ProcessFigures, NewHandlesAreListedWithTypeAndName) {
  const DWORD self = GetCurrentProcessId();
  // The first named object opens the system's folder of names, for good.
  CloseHandle(CreateSemaphoreA(nullptr, 0, 1, "z9soak-first"));
  const std::vector<unsigned> before = z9soak::HandleValues(self);
  if (before.empty()) GTEST_SKIP() << "no handle table on this system";
  HANDLE semaphore = CreateSemaphoreA(nullptr, 0, 1, nullptr);
  HANDLE named = CreateSemaphoreA(nullptr, 0, 1, "z9soak-named");
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::vector<std::string> added;
  for (unsigned v : z9soak::HandleValues(self))
    if (std::find(before.begin(), before.end(), v) == before.end()) added.push_back(z9soak::DescribeHandle(self, v));
  CloseHandle(semaphore);
  CloseHandle(named);
  CloseHandle(event);
  ASSERT_EQ(added.size(), 3u) << (added.empty() ? "" : added.back());
  EXPECT_EQ(std::count(added.begin(), added.end(), "Semaphore "), 1);
  EXPECT_EQ(std::count(added.begin(), added.end(), "Event "), 1);
  EXPECT_EQ(std::count_if(added.begin(), added.end(),
                          [](const std::string& d) { return d.find("z9soak-named") != std::string::npos; }),
            1);
}

}  // namespace
