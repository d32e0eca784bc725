// The "Camera Control" page, created from the built Z9100Dex.dll and hosted
// by a test page site on the bench camera: initialisation, sliders, auto
// boxes, low light, Default, Apply and the take-back on close.
#include "page_test_fixture.h"
#include "test_access_filter.h"

#include <algorithm>

using pagetest::IsSet;
using pagetest::Sent;

namespace {

constexpr uint32_t kCam = Z9B_KIND_CAMCONTROL;

struct RowIds {
  uint32_t property;
  int label, slider, edit, autoBox;
};
// Zoom, focus, exposure, iris, pan, tilt, roll.
constexpr RowIds kRows[] = {{3, 279, 280, 281, 282}, {6, 283, 284, 285, 286}, {4, 287, 288, 289, 290},
                            {5, 291, 292, 293, 294}, {0, 295, 296, 297, 298}, {1, 299, 300, 301, 302},
                            {2, 303, 304, 305, 306}};

class CameraControlPage : public pagetest::PageTest {
 protected:
  CameraControlPage() : PageTest(z9::CLSID_DefaultPage2) {}

  void ExpectRowDisabled(const RowIds& r) {
    for (int id : {r.label, r.slider, r.edit, r.autoBox}) EXPECT_FALSE(Enabled(id)) << "control " << id;
  }
  // Every row present, manual, with a range around a middle value (the
  // bench camera lacks some of them by default).
  void EveryRowManualWithARange() {
    for (const RowIds& r : kRows) {
      ChangeCamera(Z9B_GROUP_CAMCONTROL, r.property, [](Z9B_CONTROL& c) {
        c.supported = 1;
        c.access = 3;
        c.flags = 2;
        c.capabilities = 3;
        c.minimum = -20;
        c.maximum = 30;
        c.step = 1;
        c.value = 5;
      });
    }
  }
};

// ---- initialisation -------------------------------------------------------------------

TEST_F(CameraControlPage, InitialisationReadsTheRowsInOrderAndSendsNothing) {
  const uint32_t mark = Mark();
  Open();
  // Consecutive requests for one id form its read; iris and roll are absent
  // and end after their failed GET.
  std::vector<uint32_t> order;
  for (const auto& r : Requests(mark)) {
    EXPECT_EQ(kCam, r.first);
    if (order.empty() || order.back() != r.second) order.push_back(r.second);
  }
  EXPECT_EQ((std::vector<uint32_t>{3, 6, 4, 5, 0, 1, 2, 19}), order);
  EXPECT_TRUE(SetsSince(mark).empty());
  EXPECT_TRUE(site.statuses.empty());
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
}

TEST_F(CameraControlPage, InitialisationShowsTheCameraState) {
  SetCamera(Z9B_GROUP_CAMCONTROL, 0, 90);  // pan
  Open();

  // Pan: manual only, slider usable, auto box disabled.
  EXPECT_TRUE(Enabled(295));
  EXPECT_TRUE(Enabled(296));
  EXPECT_EQ(-180, SliderMin(296));
  EXPECT_EQ(180, SliderMax(296));
  EXPECT_EQ(90, SliderPos(296));
  EXPECT_EQ("90", Text(297));
  EXPECT_FALSE(Enabled(298));
  // Focus: automatic, but only exposure's box locks its slider.
  EXPECT_TRUE(Enabled(284));
  EXPECT_TRUE(Enabled(286));
  EXPECT_TRUE(Checked(286));
  EXPECT_EQ("20", Text(285));
  // Exposure: automatic, slider locked.
  EXPECT_FALSE(Enabled(288));
  EXPECT_TRUE(Enabled(290));
  EXPECT_TRUE(Checked(290));
  EXPECT_EQ(-11, SliderMin(288));
  EXPECT_EQ("-6", Text(289));
  // Iris and roll are absent.
  ExpectRowDisabled(kRows[3]);
  ExpectRowDisabled(kRows[6]);
  // Low light off, switchable.
  EXPECT_TRUE(Enabled(391));
  EXPECT_TRUE(Enabled(392));
  EXPECT_FALSE(Checked(392));
  // Thumbs where the values are.
  for (int slider : {280, 284, 288, 296, 300}) ExpectThumbAtPosition(slider);

  const struct {
    int id;
    const char* text;
  } texts[] = {{279, "Zoom"}, {283, "Focus"}, {287, "Exposure"}, {291, "Iris"},
               {295, "Pan"},  {299, "Tilt"},  {303, "Roll"},      {391, "Low Light Compensation"},
               {307, "Default"}, {308, "Auto"}};
  for (const auto& t : texts) EXPECT_EQ(t.text, Text(t.id)) << "control " << t.id;
}

TEST_F(CameraControlPage, PartialControlsShowWhatTheyHave) {
  // Zoom exists without a range; exposure reports automatic without the
  // manual mode; low light has neither mode; tilt can be read but not set.
  ChangeCamera(Z9B_GROUP_CAMCONTROL, 3, [](Z9B_CONTROL& c) { c.minimum = c.maximum = 0; });
  ChangeCamera(Z9B_GROUP_CAMCONTROL, 4, [](Z9B_CONTROL& c) { c.capabilities = 1; });
  ChangeCamera(Z9B_GROUP_CAMCONTROL, 19, [](Z9B_CONTROL& c) { c.capabilities = 0; });
  ChangeCamera(Z9B_GROUP_CAMCONTROL, 1, [](Z9B_CONTROL& c) { c.access = 1; });
  Open();
  EXPECT_TRUE(Enabled(279)) << "zoom label";
  EXPECT_FALSE(Enabled(280));
  EXPECT_FALSE(Enabled(281));
  EXPECT_TRUE(Enabled(287));
  EXPECT_FALSE(Enabled(290)) << "exposure auto needs both modes";
  EXPECT_FALSE(Enabled(288)) << "exposure is automatic";
  EXPECT_TRUE(Enabled(391));
  EXPECT_FALSE(Enabled(392));
  ExpectRowDisabled(kRows[5]);
}

// ---- user actions -----------------------------------------------------------------

TEST_F(CameraControlPage, EachSliderSetsItsOwnControl) {
  ChangeCamera(Z9B_GROUP_CAMCONTROL, 4, [](Z9B_CONTROL& c) { c.flags = 2; });
  Open();
  const struct {
    int slider, edit;
    uint32_t property;
    int code, thumb;
    int32_t expected, flags;
  } moves[] = {
      {280, 281, 3, SB_THUMBTRACK, 7, 7, 2},      // zoom
      {284, 285, 6, SB_LINERIGHT, 0, 21, 1},      // focus keeps its automatic flag
      {288, 289, 4, SB_BOTTOM, 0, -11, 2},        // exposure
      {296, 297, 0, SB_THUMBPOSITION, -90, -90, 2},  // pan, negative
      {300, 301, 1, SB_TOP, 0, 180, 2},           // tilt
      {296, 297, 0, SB_LINELEFT, 0, -91, 2},
  };
  for (const auto& m : moves) {
    SCOPED_TRACE(testing::Message() << "slider " << m.slider);
    const uint32_t mark = Mark();
    Scroll(m.slider, m.code, m.thumb);
    EXPECT_EQ((std::vector<Sent>{{kCam, m.property, m.expected, m.flags}}), SetsSince(mark));
    EXPECT_EQ(std::to_string(m.expected), Text(m.edit));
    EXPECT_EQ(m.expected, SliderPos(m.slider));
    EXPECT_EQ(m.expected, Camera(Z9B_GROUP_CAMCONTROL, m.property).value);
  }
  ASSERT_EQ(1u, site.statuses.size());
  EXPECT_EQ(static_cast<DWORD>(PROPPAGESTATUS_DIRTY), site.statuses[0]);
}

TEST_F(CameraControlPage, OnlyTheExposureAutoBoxLocksItsSlider) {
  ChangeCamera(Z9B_GROUP_CAMCONTROL, 0, [](Z9B_CONTROL& c) { c.capabilities = 3; });
  Open();
  ASSERT_TRUE(Enabled(298));
  uint32_t mark = Mark();
  Click(298);  // pan automatic
  EXPECT_TRUE(Checked(298));
  EXPECT_TRUE(Enabled(296)) << "the pan slider stays usable";
  EXPECT_EQ((std::vector<Sent>{{kCam, 0, 0, 1}}), SetsSince(mark));

  mark = Mark();
  Click(290);  // exposure manual
  EXPECT_TRUE(Enabled(288));
  EXPECT_EQ((std::vector<Sent>{{kCam, 4, -6, 2}}), SetsSince(mark));
  mark = Mark();
  Click(290);  // exposure automatic again
  EXPECT_FALSE(Enabled(288));
  EXPECT_EQ((std::vector<Sent>{{kCam, 4, -6, 1}}), SetsSince(mark));
}

TEST_F(CameraControlPage, LowLightSendsItsEncoding) {
  Open();
  uint32_t mark = Mark();
  Click(392);
  EXPECT_EQ((std::vector<Sent>{{kCam, 19, 1, 1}}), SetsSince(mark));
  mark = Mark();
  Click(392);
  EXPECT_EQ((std::vector<Sent>{{kCam, 19, 0, 2}}), SetsSince(mark));
}

TEST_F(CameraControlPage, DefaultRestoresEachRowByItsCapabilities) {
  // Pan: automatic possible and the default (0x5); tilt: both modes, manual
  // by default (0x3); zoom manual only; focus manual now; exposure manual;
  // low light on with default 0.
  ChangeCamera(Z9B_GROUP_CAMCONTROL, 0, [](Z9B_CONTROL& c) {
    c.capabilities = 5;
    c.value = 50;
    c.flags = 2;
  });
  ChangeCamera(Z9B_GROUP_CAMCONTROL, 1, [](Z9B_CONTROL& c) {
    c.capabilities = 3;
    c.value = 20;
    c.flags = 1;
  });
  SetCamera(Z9B_GROUP_CAMCONTROL, 3, 5);
  SetCamera(Z9B_GROUP_CAMCONTROL, 6, 10, 2);
  SetCamera(Z9B_GROUP_CAMCONTROL, 4, -3, 2);
  SetCamera(Z9B_GROUP_CAMCONTROL, 19, 1, 1);
  Open();
  EXPECT_FALSE(Checked(298));
  EXPECT_TRUE(Checked(302));
  EXPECT_TRUE(Checked(392)) << "low light reported on";
  const uint32_t mark = Mark();
  Click(307);

  const std::vector<Sent> expected = {{kCam, 3, 0, 2},  {kCam, 6, 20, 2}, {kCam, 4, -6, 1},
                                      {kCam, 0, 0, 1},  {kCam, 1, 0, 2},  {kCam, 19, 0, 2}};
  EXPECT_EQ(expected, SetsSince(mark));
  EXPECT_TRUE(Checked(298)) << "0x5: automatic by default";
  EXPECT_FALSE(Checked(302)) << "0x3: manual by default";
  EXPECT_FALSE(Checked(286));
  EXPECT_TRUE(Checked(290));
  EXPECT_FALSE(Enabled(288));
  EXPECT_FALSE(Checked(392));
  EXPECT_EQ("0", Text(297));
  EXPECT_EQ(0, SliderPos(296));
  EXPECT_EQ("-6", Text(289));
  EXPECT_EQ("20", Text(285));
  EXPECT_EQ(0, Camera(Z9B_GROUP_CAMCONTROL, 3).value);
}

// Default forces automatic exposure only on a camera that has it; a manual-
// only exposure stays manual with its slider usable.
TEST_F(CameraControlPage, DefaultOnExposureFollowsItsModes) {
  const struct {
    int32_t capabilities;
    int32_t flags;
    bool sliderUsable, boxChecked;
  } cases[] = {{3, 1, false, true}, {2, 2, true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "capabilities " << c.capabilities);
    ASSERT_TRUE(bench.Reset());
    ChangeCamera(Z9B_GROUP_CAMCONTROL, 4, [&](Z9B_CONTROL& x) {
      x.capabilities = c.capabilities;
      x.flags = 2;
      x.value = -3;
    });
    Open();
    const uint32_t mark = Mark();
    Click(307);
    EXPECT_TRUE(IsSet(SetsSince(mark), kCam, 4, -6, c.flags));
    EXPECT_EQ(c.flags, Camera(Z9B_GROUP_CAMCONTROL, 4).flags);
    EXPECT_EQ(c.sliderUsable, Enabled(288));
    EXPECT_EQ(c.boxChecked, Checked(290));
    EXPECT_EQ("-6", Text(289));
    Close();
  }
}

// All seven sliders, each to both ends: one SET to its own control.
TEST_F(CameraControlPage, EverySliderReachesItsOwnControlAtBothEnds) {
  EveryRowManualWithARange();
  Open();
  const struct {
    int slider, edit;
    uint32_t property;
  } rows[] = {{280, 281, 3}, {284, 285, 6}, {288, 289, 4}, {292, 293, 5}, {296, 297, 0}, {300, 301, 1}, {304, 305, 2}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "slider " << r.slider);
    ASSERT_TRUE(Enabled(r.slider));
    for (int code : {SB_TOP, SB_BOTTOM}) {
      const uint32_t mark = Mark();
      Scroll(r.slider, code);
      const auto sets = SetsSince(mark);
      ASSERT_EQ(1u, sets.size());
      EXPECT_EQ(kCam, sets[0].kind);
      EXPECT_EQ(r.property, sets[0].id);
      EXPECT_EQ(code == SB_TOP ? SliderMax(r.slider) : SliderMin(r.slider), sets[0].value);
      EXPECT_EQ(std::to_string(sets[0].value), Text(r.edit));
      EXPECT_EQ(sets[0].value, Camera(Z9B_GROUP_CAMCONTROL, r.property).value);
    }
  }
}

TEST_F(CameraControlPage, DefaultMarksThePageDirty) {
  Open();
  ASSERT_EQ(S_FALSE, page->IsPageDirty());
  Click(307);
  EXPECT_EQ(S_OK, page->IsPageDirty());
  ASSERT_EQ(1u, site.statuses.size());
  EXPECT_EQ(static_cast<DWORD>(PROPPAGESTATUS_DIRTY), site.statuses[0]);
}

// Every row changed, then closed without Apply: each comes back with one SET.
TEST_F(CameraControlPage, CloseWithoutApplyTakesBackEveryRow) {
  EveryRowManualWithARange();
  const int sliders[] = {280, 284, 288, 292, 296, 300, 304};
  const uint32_t ids[] = {3, 6, 4, 5, 0, 1, 2};
  Z9B_CONTROL before[8];
  for (int i = 0; i < 7; ++i) before[i] = Camera(Z9B_GROUP_CAMCONTROL, ids[i]);
  before[7] = Camera(Z9B_GROUP_CAMCONTROL, 19);
  Open();
  for (int i = 0; i < 7; ++i) {
    Scroll(sliders[i], SB_TOP);
    if (Camera(Z9B_GROUP_CAMCONTROL, ids[i]).value == before[i].value) Scroll(sliders[i], SB_BOTTOM);
    ASSERT_NE(before[i].value, Camera(Z9B_GROUP_CAMCONTROL, ids[i]).value) << "id " << ids[i];
  }
  Click(392);
  const uint32_t mark = Mark();
  Close();
  const auto sets = SetsSince(mark);
  for (int i = 0; i < 8; ++i) {
    const uint32_t id = i < 7 ? ids[i] : 19;
    SCOPED_TRACE(id);
    EXPECT_EQ(before[i].value, Camera(Z9B_GROUP_CAMCONTROL, id).value);
    EXPECT_EQ(before[i].flags, Camera(Z9B_GROUP_CAMCONTROL, id).flags);
    int sent = 0;
    for (const Sent& x : sets) sent += x.kind == kCam && x.id == id;
    EXPECT_EQ(1, sent);
  }
  EXPECT_EQ(8u, sets.size());
}

// ---- commit and take-back --------------------------------------------------------

TEST_F(CameraControlPage, ApplyThenCloseKeepsTheChanges) {
  Open();
  Scroll(296, SB_THUMBTRACK, 45);
  Click(392);
  EXPECT_EQ(S_OK, page->Apply());
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
  const uint32_t mark = Mark();
  Close();
  EXPECT_TRUE(SetsSince(mark).empty()) << "nothing to take back";
  EXPECT_EQ(45, Camera(Z9B_GROUP_CAMCONTROL, 0).value);
  EXPECT_EQ(1, Camera(Z9B_GROUP_CAMCONTROL, 19).flags);
}

TEST_F(CameraControlPage, CloseWithoutApplyTakesBackOnlyTheChangedControls) {
  SetCamera(Z9B_GROUP_CAMCONTROL, 3, 4);
  Open();
  Scroll(296, SB_THUMBTRACK, 45);  // pan
  Scroll(280, SB_TOP);             // zoom
  Click(290);                      // exposure manual
  Scroll(288, SB_BOTTOM);
  Click(392);                      // low light on
  const uint32_t mark = Mark();
  Close();
  const std::vector<Sent> expected = {{kCam, 3, 4, 2}, {kCam, 4, -6, 1}, {kCam, 0, 0, 2}, {kCam, 19, 0, 2}};
  EXPECT_EQ(expected, SetsSince(mark));
  EXPECT_EQ(4, Camera(Z9B_GROUP_CAMCONTROL, 3).value);
  EXPECT_EQ(1, Camera(Z9B_GROUP_CAMCONTROL, 4).flags);
  EXPECT_EQ(-6, Camera(Z9B_GROUP_CAMCONTROL, 4).value);
}

TEST_F(CameraControlPage, AnObjectWithoutTheInterfacesDisablesEveryRow) {
  proptest::FakeFilter fake;
  fake.queryMode = proptest::QueryMode::Refuse;
  Open(fake.Unknown());
  for (const RowIds& r : kRows) ExpectRowDisabled(r);
  EXPECT_FALSE(Enabled(391));
  EXPECT_FALSE(Enabled(392));
  EXPECT_TRUE(Enabled(307));
  Click(307);
  Close();
  EXPECT_TRUE(fake.requests.empty());
}

}  // namespace
