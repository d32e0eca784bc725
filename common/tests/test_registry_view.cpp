// The registry view rule, row by row, and what this prefix (XP, 32-bit) gives.
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

TEST(RegistryView, ThisPrefixIsXpWithoutWow64) {
  EXPECT_EQ(1u, QueryMinorVersion());
  EXPECT_FALSE(ProcessRunsUnderWow64());
  EXPECT_EQ(0x100u, ComputeRegistryViewFlag());
}
