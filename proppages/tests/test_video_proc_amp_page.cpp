// The "Video Proc Amp" page, created from the built Z9100Dex.dll and hosted
// by a test page site in a parent window of the test's own, talking to the
// bench camera through the proxy filter object: initialisation, every user
// action, Default, Apply, the take-back on close, and objects or cameras that
// answer badly or not at all.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "page_test_fixture.h"
#include "test_access_filter.h"

using pagetest::IsSet;
using pagetest::Sent;
using proptest::FakeFilter;
using proptest::QueryMode;
using proptest::Request;

namespace {

// Every control the page may enable (all but the group boxes and Default).
constexpr int kRowControls[] = {245, 246, 247, 249, 250, 251, 253, 254, 255, 257, 258, 259, 261, 262, 263,
                                265, 266, 267, 316, 313, 314, 411, 412, 415, 414, 269, 270, 271, 272, 403,
                                400, 401, 402, 407, 408, 409, 276, 273, 280, 277, 399, 410};

class VideoProcAmpPage : public pagetest::PageTest {
 protected:
  VideoProcAmpPage() : PageTest(z9::CLSID_DefaultPage1) {}

  std::vector<std::string> ListEntries(int id) const {
    std::vector<std::string> out;
    const int n = static_cast<int>(SendMessageA(Item(id), CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char text[64] = {};
      if (SendMessageA(Item(id), CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof text))
        SendMessageA(Item(id), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      out.push_back(text);
    }
    return out;
  }
  int ListSelection(int id) const { return static_cast<int>(SendMessageA(Item(id), CB_GETCURSEL, 0, 0)); }

  void ExpectAllRowsDisabled() {
    for (int id : kRowControls) EXPECT_FALSE(Enabled(id)) << "control " << id;
    EXPECT_TRUE(Enabled(278)) << "Default stays usable";
  }
};

// ---- initialisation -------------------------------------------------------------------

TEST_F(VideoProcAmpPage, InitialisationReadsEveryControlInOrderAndSendsNothing) {
  const uint32_t mark = Mark();
  Open();
  const std::vector<Z9B_LOG_ENTRY> log = Since(mark);

  struct Read {
    uint32_t kind, id;
  };
  std::vector<Read> ranges;
  for (uint32_t id : {0u, 1u, 2u, 3u, 4u, 5u, 7u, 8u, 6u, 9u}) ranges.push_back({Z9B_KIND_PROCAMP, id});
  ranges.push_back({Z9B_KIND_CAMCONTROL, 4});
  ranges.push_back({Z9B_KIND_CAMCONTROL, 19});
  ranges.push_back({Z9B_KIND_PROCAMP, 13});
  const uint32_t rangeFlags[] = {0x1, 0x200, 0x200, 0x200, 0x10000, 0x10000, 0x10000};
  const uint32_t rangeOut[] = {44, 4, 40, 72, 4, 40, 60};

  ASSERT_EQ(ranges.size() * 7 + 4, log.size());
  size_t n = 0;
  for (const Read& r : ranges) {
    for (size_t k = 0; k < 7; ++k, ++n) {
      SCOPED_TRACE(testing::Message() << "request " << n << " kind " << r.kind << " id " << r.id);
      EXPECT_EQ(r.kind, log[n].kind);
      EXPECT_EQ(r.id, log[n].id);
      EXPECT_EQ(rangeFlags[k], log[n].flags);
      EXPECT_EQ(rangeOut[k], log[n].outLength);
    }
  }
  const Read tail[] = {{Z9B_KIND_EXT_CONTROL, 2}, {Z9B_KIND_EXT_CONTROL, 3}, {Z9B_KIND_STREAM_INFO, 56},
                       {Z9B_KIND_EXT_CONTROL, 15}};
  for (const Read& r : tail) {
    SCOPED_TRACE(n);
    EXPECT_EQ(r.kind, log[n].kind);
    EXPECT_EQ(r.id, log[n].id);
    EXPECT_EQ(z9::kKsPropertyTypeGet, log[n].flags);
    ++n;
  }
  EXPECT_TRUE(site.statuses.empty()) << "reading marks nothing dirty";
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
}

TEST_F(VideoProcAmpPage, InitialisationShowsTheCameraState) {
  SetCamera(Z9B_GROUP_PROCAMP, 0, 10);  // brightness
  Open();

  // A picture row: label, slider with the camera's range, value box.
  EXPECT_TRUE(Enabled(245));
  EXPECT_TRUE(Enabled(246));
  EXPECT_EQ(-64, SliderMin(246));
  EXPECT_EQ(64, SliderMax(246));
  EXPECT_EQ(10, SliderPos(246));
  EXPECT_TRUE(Enabled(247));
  EXPECT_EQ("10", Text(247));
  EXPECT_EQ(72, SliderMin(266));  // gamma
  EXPECT_EQ(500, SliderMax(266));
  EXPECT_EQ("100", Text(267));
  EXPECT_TRUE(Enabled(313));  // gain
  EXPECT_EQ(100, SliderMax(313));

  // White balance and exposure in automatic mode: slider locked, box checked.
  EXPECT_TRUE(Enabled(269));
  EXPECT_FALSE(Enabled(270));
  EXPECT_EQ(4600, SliderPos(270));
  EXPECT_EQ("4600", Text(271));
  EXPECT_TRUE(Enabled(272));
  EXPECT_TRUE(Checked(272));
  EXPECT_FALSE(Enabled(400));
  EXPECT_EQ(-11, SliderMin(400));
  EXPECT_EQ("-6", Text(401));
  EXPECT_TRUE(Enabled(402));
  EXPECT_TRUE(Checked(402));

  // Switches and radios.
  EXPECT_TRUE(Enabled(276));
  EXPECT_FALSE(Checked(276));
  EXPECT_TRUE(Checked(407));  // 50 Hz
  EXPECT_FALSE(Checked(408));
  EXPECT_FALSE(Checked(409));
  EXPECT_TRUE(Enabled(399));
  EXPECT_FALSE(Checked(399));
  EXPECT_TRUE(Enabled(411));
  EXPECT_FALSE(Checked(411));
  EXPECT_FALSE(Checked(412));
  EXPECT_TRUE(Enabled(280));
  EXPECT_TRUE(Checked(280));  // colour on
  EXPECT_TRUE(Enabled(414));
  EXPECT_EQ(7u, ListEntries(414).size());  // a 640 x 480 stream
  EXPECT_EQ(0, ListSelection(414));

  // Texts from the page string table (English defaults here).
  const struct {
    int id;
    const char* text;
  } texts[] = {{245, "Brightness"},  {316, "Gain"},          {269, "White Balance"}, {403, "Exposure"},
               {273, "Backlight Comp"}, {277, "ColorEnable"}, {410, "Low Light Compensation"},
               {409, "Outdoor"},     {407, "50 Hz"},         {408, "60 Hz"},         {411, "Horizontal"},
               {412, "Vertical"},    {397, "Image Control"}, {404, "Auto Control"},  {405, "Banding"},
               {406, "Extra Control"}, {415, "SnapShot Size"}, {278, "Default"}};
  for (const auto& t : texts) EXPECT_EQ(t.text, Text(t.id)) << "control " << t.id;
}

TEST_F(VideoProcAmpPage, EveryThumbSitsAtItsValue) {
  // Brightness 0 and hue 0 are the middle of -64..64 and -40..40; gamma,
  // exposure and white balance lie elsewhere in their ranges.
  Open();
  for (int slider : {246, 250, 254, 258, 262, 266, 313, 270, 400}) ExpectThumbAtPosition(slider);
  Close();
  SetCamera(Z9B_GROUP_PROCAMP, 0, -40);
  Open();
  ExpectThumbAtPosition(246);
  Scroll(246, SB_THUMBTRACK, 30);
  ExpectThumbAtPosition(246);
}

TEST_F(VideoProcAmpPage, ControlsTheCameraCannotUseStayDisabled) {
  // Brightness can be read but not written; white balance has no auto mode
  // although it reports automatic; low light has neither mode.
  Z9B_CONTROL c = Camera(Z9B_GROUP_PROCAMP, 0);
  c.access = 1;
  ASSERT_TRUE(bench.SetControl(c));
  c = Camera(Z9B_GROUP_PROCAMP, 7);
  c.capabilities = 2;
  c.flags = 1;
  ASSERT_TRUE(bench.SetControl(c));
  c = Camera(Z9B_GROUP_CAMCONTROL, 19);
  c.capabilities = 0;
  ASSERT_TRUE(bench.SetControl(c));
  Open();
  for (int id : {245, 246, 247}) EXPECT_FALSE(Enabled(id)) << id;
  EXPECT_TRUE(Enabled(269));
  EXPECT_FALSE(Enabled(272));
  EXPECT_TRUE(Checked(272));
  EXPECT_FALSE(Enabled(270));
  EXPECT_TRUE(Enabled(410));
  EXPECT_FALSE(Enabled(399));
}

// ---- user actions -----------------------------------------------------------------

TEST_F(VideoProcAmpPage, SliderNotificationsSendTheRuleValue) {
  SetCamera(Z9B_GROUP_PROCAMP, 0, -64);  // brightness at Minimum
  Open();
  struct Step {
    int code, thumb;
    int32_t expected;
  };
  const Step steps[] = {
      {SB_LINELEFT, 0, -64},      // stays at Minimum
      {SB_TOP, 0, 64},            // Maximum
      {SB_LINERIGHT, 0, 64},      // stays at Maximum
      {SB_BOTTOM, 0, -64},        // Minimum
      {SB_THUMBTRACK, 10, 10},    {SB_LINERIGHT, 0, 11}, {SB_LINELEFT, 0, 10},
      {SB_THUMBPOSITION, -20, -20},  // a negative thumb position
      {SB_THUMBTRACK, 300, 64},      // clamped
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "code " << s.code << " thumb " << s.thumb);
    const uint32_t mark = Mark();
    Scroll(246, s.code, s.thumb);
    const auto sets = SetsSince(mark);
    ASSERT_EQ(1u, sets.size());
    EXPECT_EQ(static_cast<uint32_t>(Z9B_KIND_PROCAMP), sets[0].kind);
    EXPECT_EQ(0u, sets[0].id);
    EXPECT_EQ(s.expected, sets[0].value);
    EXPECT_EQ(2, sets[0].flags);
    EXPECT_EQ(s.expected, SliderPos(246));
    EXPECT_EQ(std::to_string(s.expected), Text(247));
    EXPECT_EQ(s.expected, Camera(Z9B_GROUP_PROCAMP, 0).value);
  }

  // Exposure goes to the camera control set; gain to video proc amp 9.
  uint32_t mark = Mark();
  Scroll(400, SB_BOTTOM);
  EXPECT_TRUE(IsSet(SetsSince(mark), Z9B_KIND_CAMCONTROL, 4, -11, 1));
  mark = Mark();
  Scroll(313, SB_THUMBTRACK, 42);
  EXPECT_TRUE(IsSet(SetsSince(mark), Z9B_KIND_PROCAMP, 9, 42, 2));
  EXPECT_EQ("42", Text(314));

  // The first change marked the page dirty, once.
  ASSERT_EQ(1u, site.statuses.size());
  EXPECT_EQ(static_cast<DWORD>(PROPPAGESTATUS_DIRTY), site.statuses[0]);
  EXPECT_EQ(S_OK, page->IsPageDirty());
}

TEST_F(VideoProcAmpPage, AutoBoxesSwitchTheModeAndTheSlider) {
  Open();
  uint32_t mark = Mark();
  Click(272);  // white balance: automatic off
  EXPECT_FALSE(Checked(272));
  EXPECT_TRUE(Enabled(270));
  EXPECT_TRUE(IsSet(SetsSince(mark), Z9B_KIND_PROCAMP, 7, 4600, 2));
  mark = Mark();
  Click(272);
  EXPECT_FALSE(Enabled(270));
  EXPECT_TRUE(IsSet(SetsSince(mark), Z9B_KIND_PROCAMP, 7, 4600, 1));

  mark = Mark();
  Click(402);  // exposure
  EXPECT_TRUE(Enabled(400));
  EXPECT_TRUE(IsSet(SetsSince(mark), Z9B_KIND_CAMCONTROL, 4, -6, 2));
  EXPECT_EQ(2, Camera(Z9B_GROUP_CAMCONTROL, 4).flags);
  EXPECT_EQ(-6, Camera(Z9B_GROUP_CAMCONTROL, 4).value);
}

TEST_F(VideoProcAmpPage, SwitchesSendTheirEncodings) {
  Open();
  Click(276);  // backlight on
  EXPECT_EQ(1, Camera(Z9B_GROUP_PROCAMP, 8).value);
  Click(280);  // colour off
  Z9B_CONTROL color = Camera(Z9B_GROUP_EXT, 15);
  EXPECT_EQ(0x1000, color.value);
  EXPECT_EQ(2, color.flags);
  Click(280);
  color = Camera(Z9B_GROUP_EXT, 15);
  EXPECT_EQ(0x1001, color.value);
  EXPECT_EQ(1, color.flags);
  Click(399);  // low light on
  Z9B_CONTROL low = Camera(Z9B_GROUP_CAMCONTROL, 19);
  EXPECT_EQ(1, low.value);
  EXPECT_EQ(1, low.flags);
  Click(399);
  low = Camera(Z9B_GROUP_CAMCONTROL, 19);
  EXPECT_EQ(0, low.value);
  EXPECT_EQ(2, low.flags);
}

TEST_F(VideoProcAmpPage, BandingRadiosSendOnlyAChange) {
  Open();
  uint32_t mark = Mark();
  Click(408);  // 60 Hz
  EXPECT_TRUE(IsSet(SetsSince(mark), Z9B_KIND_PROCAMP, 13, 2, 2));
  EXPECT_TRUE(Checked(408));
  EXPECT_FALSE(Checked(407));
  EXPECT_FALSE(Checked(409));
  mark = Mark();
  Click(408);
  EXPECT_TRUE(Since(mark).empty()) << "the chosen button again sends nothing";
  Click(409);
  EXPECT_EQ(0, Camera(Z9B_GROUP_PROCAMP, 13).value);
  EXPECT_TRUE(Checked(409));
  EXPECT_FALSE(Checked(408));
}

TEST_F(VideoProcAmpPage, MirrorTogglesKeepTheOtherBits) {
  SetCamera(Z9B_GROUP_EXT, 2, 0xC);
  Open();
  Click(412);
  EXPECT_EQ(0xE, Camera(Z9B_GROUP_EXT, 2).value);
  EXPECT_TRUE(Checked(412));
  Click(412);
  EXPECT_EQ(0xC, Camera(Z9B_GROUP_EXT, 2).value);
  EXPECT_FALSE(Checked(412));
  // Each toggle starts from the camera's current value.
  SetCamera(Z9B_GROUP_EXT, 2, 0x5);
  const uint32_t mark = Mark();
  Click(412);
  const auto log = Since(mark);
  ASSERT_EQ(2u, log.size());
  EXPECT_EQ(z9::kKsPropertyTypeGet, log[0].flags);
  EXPECT_EQ(z9::kKsPropertyTypeSet, log[1].flags);
  EXPECT_EQ(0x7, Camera(Z9B_GROUP_EXT, 2).value);
  Click(411);
  EXPECT_EQ(0x6, Camera(Z9B_GROUP_EXT, 2).value);
  EXPECT_FALSE(Checked(411));
}

TEST_F(VideoProcAmpPage, SnapshotSizesFollowTheStream) {
  const struct {
    int width, height;
    size_t entries;
  } streams[] = {{176, 144, 4}, {177, 144, 5}, {352, 288, 5}, {640, 480, 7}, {641, 480, 10}, {1280, 1024, 10}};
  for (const auto& s : streams) {
    SCOPED_TRACE(testing::Message() << s.width << "x" << s.height);
    ASSERT_TRUE(bench.SetStreamInfo(1, s.width, s.height));
    Open();
    EXPECT_EQ(s.entries, ListEntries(414).size());
    Close();
  }
  SetCamera(Z9B_GROUP_EXT, 3, 0x105);
  Open();
  const std::vector<std::string> sizes = ListEntries(414);
  const std::vector<std::string> expected = {"160x120",  "176x144",  "320x240",   "352x288",   "640x480",
                                             "1280x720", "1280x960", "1280x1024", "1600x1200", "2560x2048"};
  EXPECT_EQ(expected, sizes);
  EXPECT_EQ(5, ListSelection(414));

  SendMessageA(Item(414), CB_SETCURSEL, 2, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(414, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(414)));
  EXPECT_EQ(0x102, Camera(Z9B_GROUP_EXT, 3).value);
}

TEST_F(VideoProcAmpPage, DefaultRestoresTheCameraDefaults) {
  SetCamera(Z9B_GROUP_PROCAMP, 0, 20);  // brightness: default 0, manual only
  Z9B_CONTROL contrast = Camera(Z9B_GROUP_PROCAMP, 1);
  contrast.capabilities = 7;  // automatic possible and the default
  contrast.value = 50;
  ASSERT_TRUE(bench.SetControl(contrast));
  SetCamera(Z9B_GROUP_PROCAMP, 7, 3000, 2);  // white balance manual
  SetCamera(Z9B_GROUP_PROCAMP, 8, 1);        // backlight on
  Z9B_CONTROL freq = Camera(Z9B_GROUP_PROCAMP, 13);
  freq.def = 2;
  freq.value = 0;
  ASSERT_TRUE(bench.SetControl(freq));
  SetCamera(Z9B_GROUP_CAMCONTROL, 4, -3, 2);  // exposure manual
  SetCamera(Z9B_GROUP_CAMCONTROL, 19, 1, 1);  // low light on, default 0
  SetCamera(Z9B_GROUP_EXT, 2, 0xD);           // mirror: default 0
  SetCamera(Z9B_GROUP_EXT, 3, 0x104);
  SetCamera(Z9B_GROUP_EXT, 15, 0x1000, 2);    // colour off, default on
  Open();
  EXPECT_TRUE(Checked(399)) << "low light reported on";
  const uint32_t mark = Mark();
  Click(278);

  Z9B_CONTROL c = Camera(Z9B_GROUP_PROCAMP, 0);
  EXPECT_EQ(0, c.value);
  EXPECT_EQ(2, c.flags);
  EXPECT_EQ("0", Text(247));
  EXPECT_EQ(0, SliderPos(246));
  c = Camera(Z9B_GROUP_PROCAMP, 1);
  EXPECT_EQ(32, c.value);
  EXPECT_EQ(1, c.flags) << "automatic by default";
  c = Camera(Z9B_GROUP_PROCAMP, 7);
  EXPECT_EQ(4600, c.value);
  EXPECT_EQ(1, c.flags);
  EXPECT_TRUE(Checked(272));
  EXPECT_FALSE(Enabled(270));
  EXPECT_EQ("4600", Text(271));
  EXPECT_EQ(0, Camera(Z9B_GROUP_PROCAMP, 8).value);
  EXPECT_FALSE(Checked(276));
  EXPECT_EQ(2, Camera(Z9B_GROUP_PROCAMP, 13).value);
  EXPECT_TRUE(Checked(408)) << "default 2 is 60 Hz";
  EXPECT_FALSE(Checked(409));
  c = Camera(Z9B_GROUP_CAMCONTROL, 4);
  EXPECT_EQ(-6, c.value);
  EXPECT_EQ(1, c.flags);
  EXPECT_TRUE(Checked(402));
  EXPECT_FALSE(Enabled(400));
  c = Camera(Z9B_GROUP_CAMCONTROL, 19);
  EXPECT_EQ(0, c.value);
  EXPECT_EQ(2, c.flags);
  EXPECT_FALSE(Checked(399));
  EXPECT_EQ(0xC, Camera(Z9B_GROUP_EXT, 2).value) << "bits 2 and 3 stay";
  EXPECT_FALSE(Checked(411));
  c = Camera(Z9B_GROUP_EXT, 15);
  EXPECT_EQ(0x1001, c.value);
  EXPECT_EQ(1, c.flags);
  EXPECT_TRUE(Checked(280));
  EXPECT_EQ(0x104, Camera(Z9B_GROUP_EXT, 3).value) << "Default leaves the snapshot size";
  for (const auto& s : SetsSince(mark))
    EXPECT_FALSE(s.kind == Z9B_KIND_EXT_CONTROL && s.id == 3) << "snapshot size sent";
}

// Default forces automatic white balance and exposure only on a camera that
// has it; a manual-only control stays manual with its slider usable.
TEST_F(VideoProcAmpPage, DefaultForcesAutomaticModeOnlyWhereTheCameraHasIt) {
  const struct {
    uint32_t group, id;
    int slider, autoBox;
    int32_t capabilities, value, def, flags;
    bool sliderUsable, boxChecked;
  } cases[] = {
      {Z9B_GROUP_CAMCONTROL, 4, 400, 402, 3, -3, -6, 1, false, true},
      {Z9B_GROUP_CAMCONTROL, 4, 400, 402, 2, -3, -6, 2, true, false},
      {Z9B_GROUP_PROCAMP, 7, 270, 272, 3, 3000, 4600, 1, false, true},
      {Z9B_GROUP_PROCAMP, 7, 270, 272, 2, 3000, 4600, 2, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "id " << c.id << ", capabilities " << c.capabilities);
    ASSERT_TRUE(bench.Reset());
    ChangeCamera(c.group, c.id, [&](Z9B_CONTROL& x) {
      x.capabilities = c.capabilities;
      x.flags = 2;
      x.value = c.value;
    });
    Open();
    Click(278);
    const Z9B_CONTROL now = Camera(c.group, c.id);
    EXPECT_EQ(c.def, now.value);
    EXPECT_EQ(c.flags, now.flags);
    EXPECT_EQ(c.sliderUsable, Enabled(c.slider));
    EXPECT_EQ(c.boxChecked, Checked(c.autoBox));
    Close();
  }
}

// ---- commit and take-back --------------------------------------------------------

TEST_F(VideoProcAmpPage, ApplyThenCloseKeepsTheChanges) {
  Open();
  Scroll(246, SB_THUMBTRACK, 30);
  Click(408);
  Click(411);
  EXPECT_EQ(S_OK, page->IsPageDirty());
  EXPECT_EQ(S_OK, page->Apply());
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
  ASSERT_EQ(2u, site.statuses.size());
  EXPECT_EQ(static_cast<DWORD>(PROPPAGESTATUS_CLEAN), site.statuses[1]);

  const uint32_t mark = Mark();
  Close();
  EXPECT_EQ(30, Camera(Z9B_GROUP_PROCAMP, 0).value);
  EXPECT_EQ(2, Camera(Z9B_GROUP_PROCAMP, 13).value);
  EXPECT_EQ(0x1, Camera(Z9B_GROUP_EXT, 2).value);
  // Closing re-sends only the camera's own records, with the applied values.
  for (const auto& s : SetsSince(mark)) EXPECT_EQ(static_cast<uint32_t>(Z9B_KIND_EXT_CONTROL), s.kind) << s.id;
}

TEST_F(VideoProcAmpPage, CloseWithoutApplyRestoresWhatWasRead) {
  SetCamera(Z9B_GROUP_PROCAMP, 0, 5);
  SetCamera(Z9B_GROUP_EXT, 3, 0x101);
  Open();
  Scroll(246, SB_TOP);   // brightness 64
  Click(409);            // outdoor
  Click(272);            // white balance manual
  Scroll(270, SB_BOTTOM);
  Click(402);            // exposure manual
  Click(399);            // low light on
  Click(412);            // vertical flip
  Click(280);            // colour off
  SendMessageA(Item(414), CB_SETCURSEL, 3, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(414, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(414)));
  ASSERT_EQ(64, Camera(Z9B_GROUP_PROCAMP, 0).value);
  ASSERT_EQ(0x103, Camera(Z9B_GROUP_EXT, 3).value);

  Close();
  EXPECT_EQ(5, Camera(Z9B_GROUP_PROCAMP, 0).value);
  EXPECT_EQ(1, Camera(Z9B_GROUP_PROCAMP, 13).value);
  Z9B_CONTROL c = Camera(Z9B_GROUP_PROCAMP, 7);
  EXPECT_EQ(4600, c.value);
  EXPECT_EQ(1, c.flags);
  EXPECT_EQ(1, Camera(Z9B_GROUP_CAMCONTROL, 4).flags);
  c = Camera(Z9B_GROUP_CAMCONTROL, 19);
  EXPECT_EQ(0, c.value);
  EXPECT_EQ(2, c.flags);
  EXPECT_EQ(0, Camera(Z9B_GROUP_EXT, 2).value);
  c = Camera(Z9B_GROUP_EXT, 15);
  EXPECT_EQ(0x1001, c.value);
  EXPECT_EQ(1, c.flags);
  EXPECT_EQ(0x101, Camera(Z9B_GROUP_EXT, 3).value);
}

// The page's sliders with their value boxes and controls.
struct SliderRow {
  int slider, edit;
  uint32_t group, kind, id;
};
const SliderRow kSliders[] = {
    {246, 247, Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 0}, {250, 251, Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 1},
    {254, 255, Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 2}, {258, 259, Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 3},
    {262, 263, Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 4}, {266, 267, Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 5},
    {313, 314, Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 9}, {270, 271, Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 7},
    {400, 401, Z9B_GROUP_CAMCONTROL, Z9B_KIND_CAMCONTROL, 4},
};

// Every slider of the page, each moved to both ends: exactly one SET, to its
// own control, with the value its box then shows.
TEST_F(VideoProcAmpPage, EverySliderSetsItsOwnControl) {
  SetCamera(Z9B_GROUP_PROCAMP, 7, 3000, 2);   // white balance manual: its slider works
  SetCamera(Z9B_GROUP_CAMCONTROL, 4, -3, 2);  // exposure manual
  Open();
  for (const SliderRow& r : kSliders) {
    SCOPED_TRACE(testing::Message() << "slider " << r.slider);
    ASSERT_TRUE(Enabled(r.slider));
    for (int code : {SB_TOP, SB_BOTTOM}) {
      const uint32_t mark = Mark();
      Scroll(r.slider, code);
      const auto sets = SetsSince(mark);
      ASSERT_EQ(1u, sets.size());
      EXPECT_EQ(r.kind, sets[0].kind);
      EXPECT_EQ(r.id, sets[0].id);
      EXPECT_EQ(code == SB_TOP ? SliderMax(r.slider) : SliderMin(r.slider), sets[0].value);
      EXPECT_EQ(std::to_string(sets[0].value), Text(r.edit));
      EXPECT_EQ(sets[0].value, Camera(r.group, r.id).value);
    }
  }
}

// Default marks the page dirty like every other change, and only once.
TEST_F(VideoProcAmpPage, DefaultMarksThePageDirty) {
  Open();
  ASSERT_EQ(S_FALSE, page->IsPageDirty());
  Click(278);
  EXPECT_EQ(S_OK, page->IsPageDirty());
  ASSERT_EQ(1u, site.statuses.size());
  EXPECT_EQ(static_cast<DWORD>(PROPPAGESTATUS_DIRTY), site.statuses[0]);
  // After Apply a Default makes it dirty again.
  EXPECT_EQ(S_OK, page->Apply());
  Click(278);
  EXPECT_EQ(S_OK, page->IsPageDirty());
}

// Every row the page can change, changed, then the page closed without
// Apply: each standard control comes back to what was read, with one SET of
// its own, and the camera's own records are sent back as read.
TEST_F(VideoProcAmpPage, CloseWithoutApplyTakesBackEveryRow) {
  SetCamera(Z9B_GROUP_PROCAMP, 7, 3000, 2);
  SetCamera(Z9B_GROUP_CAMCONTROL, 4, -3, 2);
  SetCamera(Z9B_GROUP_EXT, 3, 0x101);
  struct Row {
    uint32_t group, kind, id;
    Z9B_CONTROL before;
  };
  std::vector<Row> rows = {
      {Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 0, {}},  {Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 1, {}},
      {Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 2, {}},  {Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 3, {}},
      {Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 4, {}},  {Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 5, {}},
      {Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 7, {}},  {Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 8, {}},
      {Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 9, {}},  {Z9B_GROUP_PROCAMP, Z9B_KIND_PROCAMP, 13, {}},
      {Z9B_GROUP_CAMCONTROL, Z9B_KIND_CAMCONTROL, 4, {}}, {Z9B_GROUP_CAMCONTROL, Z9B_KIND_CAMCONTROL, 19, {}},
  };
  for (Row& r : rows) r.before = Camera(r.group, r.id);
  const Z9B_CONTROL mirror = Camera(Z9B_GROUP_EXT, 2), size = Camera(Z9B_GROUP_EXT, 3),
                    colour = Camera(Z9B_GROUP_EXT, 15);
  Open();
  for (const SliderRow& r : kSliders) {
    const int32_t was = Camera(r.group, r.id).value;
    Scroll(r.slider, SB_TOP);
    if (Camera(r.group, r.id).value == was) Scroll(r.slider, SB_BOTTOM);
  }
  Click(276);                                           // backlight
  Click(Checked(409) ? 407 : 409);                      // another frequency
  Click(399);                                           // low light
  Click(411);                                           // mirror
  Click(280);                                           // colour
  SendMessageA(Item(414), CB_SETCURSEL, 3, 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(414, CBN_SELCHANGE), reinterpret_cast<LPARAM>(Item(414)));
  for (const Row& r : rows) {
    const Z9B_CONTROL now = Camera(r.group, r.id);
    ASSERT_TRUE(now.value != r.before.value || now.flags != r.before.flags)
        << "row " << r.kind << "/" << r.id << " was not changed: the case is not made";
  }

  const uint32_t mark = Mark();
  Close();
  const auto sets = SetsSince(mark);
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "kind " << r.kind << " id " << r.id);
    const Z9B_CONTROL now = Camera(r.group, r.id);
    EXPECT_EQ(r.before.value, now.value);
    EXPECT_EQ(r.before.flags, now.flags);
    int sent = 0;
    for (const Sent& x : sets) sent += x.kind == r.kind && x.id == r.id;
    EXPECT_EQ(1, sent) << "one SET takes the row back";
  }
  EXPECT_EQ(mirror.value, Camera(Z9B_GROUP_EXT, 2).value);
  EXPECT_EQ(size.value, Camera(Z9B_GROUP_EXT, 3).value);
  EXPECT_EQ(colour.value, Camera(Z9B_GROUP_EXT, 15).value);
  EXPECT_EQ(colour.flags, Camera(Z9B_GROUP_EXT, 15).flags);
  EXPECT_EQ((std::vector<uint32_t>{2, 3, 15}), ExtSetIds(mark));
}

// ---- objects and cameras that answer badly --------------------------------------------

TEST_F(VideoProcAmpPage, AnObjectWithoutTheInterfacesDisablesEveryRow) {
  for (QueryMode mode : {QueryMode::Refuse, QueryMode::NullPointer}) {
    SCOPED_TRACE(static_cast<int>(mode));
    FakeFilter fake;
    fake.queryMode = mode;
    Open(fake.Unknown());
    ExpectAllRowsDisabled();
    Click(278);  // nothing to send, nothing to break
    Scroll(246, SB_TOP);
    Close();
    EXPECT_TRUE(fake.requests.empty());
    EXPECT_EQ(1, fake.Refs()) << "the page let go of its object";
  }
  // No object at all.
  Open(nullptr, 0);
  ExpectAllRowsDisabled();
  Click(278);
}

TEST_F(VideoProcAmpPage, ACameraWithoutControlsDisablesEveryRow) {
  for (uint32_t group : {Z9B_GROUP_PROCAMP, Z9B_GROUP_CAMCONTROL, Z9B_GROUP_EXT})
    for (uint32_t id = 0; id < Z9B_CONTROL_IDS; ++id) {
      Z9B_CONTROL none{group, id, 0, 0, 0, 0, 0, 0, 0, 0, 0};
      ASSERT_TRUE(bench.SetControl(none));
    }
  Open();
  ExpectAllRowsDisabled();
  EXPECT_EQ(0u, ListEntries(414).size());
  const uint32_t mark = Mark();
  Click(278);
  // Only the power-line frequency is sent regardless of support.
  const auto sets = SetsSince(mark);
  ASSERT_EQ(1u, sets.size());
  EXPECT_EQ(13u, sets[0].id);
  Close();
}

TEST_F(VideoProcAmpPage, EmptyAndShortAnswersDisableWhatTheyConcern) {
  // Every answer comes back successful but short of its layout.
  FakeFilter shortAnswers;
  IUnknown* camera = filter.get();
  shortAnswers.handler = [camera](const Request& r, ULONG* returned) {
    const HRESULT hr = proptest::Forward(camera, r, returned);
    *returned = *returned > 3 ? 3 : *returned;
    return hr;
  };
  Open(shortAnswers.Unknown());
  ExpectAllRowsDisabled();
  Close();

  // The camera answers with nothing written at all.
  ASSERT_TRUE(bench.AddFault(z9bench::MakeFault(Z9B_KIND_ANY, Z9B_FAULT_NOWRITE)));
  Open();
  ExpectAllRowsDisabled();
  Close();
  ASSERT_TRUE(bench.ClearFaults());

  // Brightness describes itself in 40 bytes: no range, so no slider.
  FakeFilter noRange;
  noRange.handler = [camera](const Request& r, ULONG* returned) {
    const HRESULT hr = proptest::Forward(camera, r, returned);
    if (SUCCEEDED(hr) && !r.viaPropertySet && r.id == 0 && r.dataLength == z9::kDescriptionSize &&
        proptest::SameGuid(r.set, z9::kPropSetVideoProcAmp))
      z9::PutU32(static_cast<uint8_t*>(r.data) + 4, z9::kDescriptionSize);
    return hr;
  };
  Open(noRange.Unknown());
  EXPECT_TRUE(Enabled(245));
  EXPECT_FALSE(Enabled(246));
  EXPECT_FALSE(Enabled(247));
  EXPECT_TRUE(Enabled(250)) << "contrast keeps its range";
  Close();
}

TEST_F(VideoProcAmpPage, ARecordThatFailedToReadIsNotSentBackOnClose) {
  // The snapshot size cannot be read; the others can.
  Z9B_FAULT f = z9bench::MakeFault(Z9B_KIND_EXT_CONTROL, Z9B_FAULT_FAIL);
  f.id = 3;
  f.flags = z9::kKsPropertyTypeGet;
  ASSERT_TRUE(bench.AddFault(f));
  SetCamera(Z9B_GROUP_EXT, 3, 0x102);
  Open();
  EXPECT_FALSE(Enabled(414));
  EXPECT_FALSE(Enabled(415));
  EXPECT_TRUE(Enabled(411));
  const uint32_t mark = Mark();
  Close();
  const auto sets = SetsSince(mark);
  EXPECT_TRUE(IsSet(sets, Z9B_KIND_EXT_CONTROL, 2, 0, 2));
  for (const auto& s : sets) EXPECT_NE(3u, s.id) << "a record never read went to the camera";
  EXPECT_EQ(0x102, Camera(Z9B_GROUP_EXT, 3).value);
}

}  // namespace
