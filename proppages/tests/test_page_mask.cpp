// The frame-tab mask "PropertyPage": which tabs each page class removes, and
// the removal itself in a real property sheet whose first tab hosts a page
// of the library.
#include "frame_test_support.h"
#include "page_mask.h"
#include "registry_view.h"
#include "settings.h"

using namespace dextest;

namespace {

std::vector<int> Removals(DWORD value, int tabs, const z9::PageMaskRange& range) {
  int indexes[z9::kMaxMaskRemovals];
  const int n = z9::PageMaskRemovals(value, tabs, range, indexes);
  return std::vector<int>(indexes, indexes + n);
}

TEST(PageMaskRule, EachClassActsOnlyInItsMarkerRange) {
  using V = std::vector<int>;
  // The Video Proc Amp page's example: marker 16, bit 0 clear.
  EXPECT_EQ(Removals(0x100E, 5, z9::kMaskDefaultPage1), V{4});
  EXPECT_EQ(Removals(0x100E, 5, z9::kMaskPropPage1), V{});
  EXPECT_EQ(Removals(0x100E, 5, z9::kMaskDefaultPage2), V{});
  EXPECT_EQ(Removals(0x100E, 5, z9::kMaskPropPage2), V{});
  // Range edges.
  EXPECT_EQ(Removals(0x0300, 5, z9::kMaskPropPage2), V{});
  EXPECT_EQ(Removals(0x0400, 5, z9::kMaskPropPage2), (V{4, 3}));
  EXPECT_EQ(Removals(0x0700, 5, z9::kMaskPropPage2), (V{4, 3}));
  EXPECT_EQ(Removals(0x0800, 5, z9::kMaskPropPage2), V{});
  EXPECT_EQ(Removals(0x0F00, 5, z9::kMaskDefaultPage2), (V{4, 3, 2}));
  EXPECT_EQ(Removals(0x1F00, 5, z9::kMaskDefaultPage1), (V{4, 3, 2, 1}));
  EXPECT_EQ(Removals(0x2000, 5, z9::kMaskDefaultPage1), V{});
  EXPECT_EQ(Removals(0x3F00, 6, z9::kMaskPropPage1), (V{5, 4, 3, 2, 1}));
  EXPECT_EQ(Removals(0x4000, 6, z9::kMaskPropPage1), V{});
  // Bits above 15 do not count.
  EXPECT_EQ(Removals(0xFF00100E, 5, z9::kMaskDefaultPage1), V{4});
}

TEST(PageMaskRule, SetBitsKeepTabsAndTheFirstTabAlwaysStays) {
  using V = std::vector<int>;
  EXPECT_EQ(Removals(0x0805, 5, z9::kMaskDefaultPage2), V{3});
  EXPECT_EQ(Removals(0x08FF, 5, z9::kMaskDefaultPage2), V{});
  EXPECT_EQ(Removals(0x2000, 5, z9::kMaskPropPage1), (V{4, 3, 2, 1})) << "tab 0 stays";
  EXPECT_EQ(Removals(0x2000, 3, z9::kMaskPropPage1), (V{2, 1}));
  EXPECT_EQ(Removals(0x2015, 5, z9::kMaskPropPage1), (V{3, 1}));
  // Missing or zero value: marker 0 is nobody's.
  for (const auto* r : {&z9::kMaskPropPage1, &z9::kMaskPropPage2, &z9::kMaskDefaultPage1, &z9::kMaskDefaultPage2})
    EXPECT_EQ(Removals(0, 5, *r), V{});
  // One or two tabs never lose one.
  for (DWORD v : {0x0400u, 0x0800u, 0x1000u, 0x2000u, 0x3F00u}) {
    for (int tabs : {0, 1, 2}) {
      for (const auto* r :
           {&z9::kMaskPropPage1, &z9::kMaskPropPage2, &z9::kMaskDefaultPage1, &z9::kMaskDefaultPage2})
        EXPECT_EQ(Removals(v, tabs, *r), V{}) << v << " " << tabs;
    }
  }
}

class PageMaskInSheet : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com.ok());
    ASSERT_TRUE(dex.ok());
    z9::SetRegistryViewFlag(z9::ComputeRegistryViewFlag());
    wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "PropertyPage");
    filter.reset();
    *filter.put() = CreateProxyFilter();
  }
  void TearDown() override { wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "PropertyPage"); }

  void SetValue(DWORD v) { ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "PropertyPage", v)); }

  // Opens a sheet of `tabs` tabs, activates the page of `clsid` in its first
  // tab and returns the tab titles that remain.
  std::vector<std::string> TitlesAfterPage(REFCLSID clsid, int tabs) {
    PlainSheet sheet(host.get(), tabs);
    EXPECT_NE(sheet.get(), nullptr);
    if (sheet.get() == nullptr) return {};
    EXPECT_EQ(static_cast<int>(sheet.titles().size()), tabs);
    Ref<IPropertyPage> page(dex.CreatePage(clsid));
    EXPECT_TRUE(page);
    if (!page) return {};
    IUnknown* objects[] = {filter.get()};
    page->SetObjects(filter ? 1 : 0, filter ? objects : nullptr);
    RECT r = {0, 0, 400, 300};
    EXPECT_EQ(page->Activate(sheet.currentTab(), &r, FALSE), S_OK);
    wintest::PumpFor(50);
    std::vector<std::string> titles = sheet.titles();
    page->Deactivate();
    page->SetObjects(0, nullptr);
    return titles;
  }

  ComScope com;
  DexLibrary dex;
  HostWindow host;
  Ref<IUnknown> filter;
};

using Titles = std::vector<std::string>;

TEST_F(PageMaskInSheet, VideoProcAmpPageRemovesTheLastOfFiveTabsFor0x100E) {
  ASSERT_TRUE(filter) << "the prefix has no proxy filter object";
  SetValue(0x100E);
  EXPECT_EQ(TitlesAfterPage(z9::CLSID_DefaultPage1, 5), (Titles{"Tab0", "Tab1", "Tab2", "Tab3"}));
  EXPECT_EQ(TitlesAfterPage(z9::CLSID_PropPage1, 5), (Titles{"Tab0", "Tab1", "Tab2", "Tab3", "Tab4"}));
  EXPECT_EQ(TitlesAfterPage(z9::CLSID_DefaultPage2, 5), (Titles{"Tab0", "Tab1", "Tab2", "Tab3", "Tab4"}));
}

TEST_F(PageMaskInSheet, EveryClassRemovesTheTabsItsMaskClears) {
  SetValue(0x0805);  // Camera Control: bit 1 clear
  EXPECT_EQ(TitlesAfterPage(z9::CLSID_DefaultPage2, 5), (Titles{"Tab0", "Tab1", "Tab2", "Tab4"}));
  SetValue(0x04FE);  // Image Control: bit 0 clear
  EXPECT_EQ(TitlesAfterPage(z9::CLSID_PropPage2, 4), (Titles{"Tab0", "Tab1", "Tab2"}));
  SetValue(0x2000);  // Property Page: every bit clear
  EXPECT_EQ(TitlesAfterPage(z9::CLSID_PropPage1, 5), (Titles{"Tab0"}));
}

TEST_F(PageMaskInSheet, NoValueOrTwoTabsLeaveTheSheetAlone) {
  EXPECT_EQ(TitlesAfterPage(z9::CLSID_PropPage1, 5).size(), 5u) << "no value";
  SetValue(0);
  EXPECT_EQ(TitlesAfterPage(z9::CLSID_PropPage2, 3).size(), 3u);
  SetValue(0x0400);
  EXPECT_EQ(TitlesAfterPage(z9::CLSID_PropPage2, 2), (Titles{"Tab0", "Tab1"}));
  SetValue(0x2000);
  EXPECT_EQ(TitlesAfterPage(z9::CLSID_PropPage1, 1), (Titles{"Tab0"}));
}

TEST_F(PageMaskInSheet, APageOutsideAFrameIsLeftAlone) {
  SetValue(0x2000);
  Ref<IPropertyPage> page(dex.CreatePage(z9::CLSID_PropPage1));
  ASSERT_TRUE(page);
  RECT r = {0, 0, 400, 300};
  EXPECT_EQ(page->Activate(host.get(), &r, FALSE), S_OK) << "the host has no tab control";
  page->Deactivate();
}

}  // namespace
