// A clean settings key for each test, removed again afterwards.
#pragma once
#include <gtest/gtest.h>

#include "registry_view.h"
#include "settings.h"
#include "wintest.h"

class SettingsKeyTest : public ::testing::Test {
 protected:
  const HKEY kRoot = HKEY_LOCAL_MACHINE;
  const std::string key_ = z9::kSettingsKeyPath;

  void SetUp() override {
    wintest::RegDeleteKeyTree(kRoot, key_);
    z9::SetRegistryViewFlag(z9::ComputeRegistryViewFlag());
  }
  void TearDown() override { wintest::RegDeleteKeyTree(kRoot, key_); }

  void SetDword(const char* name, DWORD v) { ASSERT_TRUE(wintest::RegSetDword(kRoot, key_, name, v)); }
  void SetString(const char* name, const std::string& v) { ASSERT_TRUE(wintest::RegSetString(kRoot, key_, name, v)); }
  void SetBytes(const char* name, const std::string& bytes, DWORD type) {
    ASSERT_TRUE(wintest::RegSetBinary(kRoot, key_, name, bytes.data(), static_cast<DWORD>(bytes.size()), type));
  }
};
