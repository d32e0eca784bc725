// The registry view rule, row by row (the WOW64 rows included, which a 64-bit
// test process cannot reach live), and what this prefix gives: Windows XP for
// a 32-bit process, Windows XP x64 (5.2) in a 64-bit prefix.
#include <gtest/gtest.h>

#include "registry_view.h"

using namespace z9;

TEST(RegistryView, RuleTableRowByRow) {
  struct Row {
    DWORD minor;
    bool wow64;
    DWORD flag;
    const char* name;
  } rows[] = {
      {0, false, 0, "Windows 2K"},         {0, true, 0x100, "Windows 2K"},
      {10, false, 0, "Windows 98"},        {10, true, 0x100, "Windows 98"},
      {90, false, 0, "Windows Me"},        {90, true, 0x100, "Windows Me"},
      {1, false, 0x100, "Windows XP"},     {1, true, 0x100, "Windows XP"},
      {2, false, 0x100, "Unknown Windows version"},
      {3, true, 0x100, "Unknown Windows version"},
      {11, false, 0x100, "Unknown Windows version"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.flag, RegistryViewFlagFor(r.minor, r.wow64)) << "minor " << r.minor << " wow64 " << r.wow64;
    EXPECT_STREQ(r.name, WindowsNameForMinor(r.minor)) << "minor " << r.minor;
  }
}

TEST(RegistryView, ThisPrefixWithoutWow64) {
#ifdef _WIN64
  EXPECT_EQ(2u, QueryMinorVersion()) << "a win64 test prefix reports Windows XP x64";
#else
  EXPECT_EQ(1u, QueryMinorVersion()) << "a win32 test prefix reports Windows XP";
#endif
  EXPECT_FALSE(ProcessRunsUnderWow64());
  EXPECT_EQ(0x100u, ComputeRegistryViewFlag());
}
