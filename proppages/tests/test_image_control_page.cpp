// The "Image Control" page, created from the built Z9100Dex.dll and hosted
// by a test page site on the bench camera (whose face tracking keeps the zoom
// step in Default): initialisation and the display states, face tracking,
// effects, the pan/zoom pad under the mouse, Default, and no take-back.
#include "page_test_fixture.h"

using pagetest::Sent;

namespace {

constexpr uint32_t kExt = Z9B_KIND_EXT_CONTROL;
constexpr uint32_t kGet = z9::kKsPropertyTypeGet;

constexpr int kFaceBox = 316;
constexpr int kEffectsBox = 373;
constexpr int kDefault = 396;

struct Pad {
  int normal, pressed, grey;
};
// Centre, up, right, down, left, zoom out, zoom in: index = command.
constexpr Pad kPad[] = {{386, 387, 366}, {374, 378, 367}, {375, 379, 368}, {376, 380, 369},
                        {377, 381, 370}, {382, 384, 371}, {383, 385, 372}};
constexpr int kCentre = 0, kUp = 1, kRight = 2, kZoomOut = 5, kZoomIn = 6;

class ImageControlPage : public pagetest::PageTest {
 protected:
  ImageControlPage() : PageTest(z9::CLSID_PropPage2) {}

  // Which icon set shows each pad button: 'n'ormal, 'p'ressed, 'g'rey, or
  // '?' for none or several.
  std::string PadIcons() const {
    std::string out;
    for (const Pad& p : kPad) {
      const bool n = Visible(p.normal), pr = Visible(p.pressed), g = Visible(p.grey);
      out += (n + pr + g) != 1 ? '?' : n ? 'n' : pr ? 'p' : 'g';
    }
    return out;
  }
  // The centre of a control in the dialog's client coordinates.
  LPARAM CentreOf(int id) const {
    RECT r = {};
    GetWindowRect(Item(id), &r);
    POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(dialog, &p);
    return MAKELPARAM(p.x, p.y);
  }
  void Mouse(UINT msg, LPARAM at) { SendMessageA(dialog, msg, msg == WM_MOUSEMOVE ? 0 : MK_LBUTTON, at); }
  // Pointer onto the pad button, then press.
  void Press(int button, UINT msg = WM_LBUTTONDOWN) {
    Mouse(WM_MOUSEMOVE, CentreOf(kPad[button].normal));
    Mouse(msg, CentreOf(kPad[button].normal));
  }
  void Release(int button) { Mouse(WM_LBUTTONUP, CentreOf(kPad[button].normal)); }
  // A point of the page away from the pad.
  static LPARAM Away() { return MAKELPARAM(3, 3); }

  int ShownEffectsEnabled() const {
    int n = 0;
    for (int id = 337; id <= 346; ++id) n += Enabled(id);
    return n;
  }
  int EffectsChecked() const {
    int n = 0;
    for (int id = 327; id <= 356; ++id) n += Checked(id);
    return n;
  }
};

// ---- initialisation and display states -------------------------------------------------

TEST_F(ImageControlPage, InitialisationReadsBothRecordsAndShowsThePadNotZoomed) {
  const uint32_t mark = Mark();
  Open();
  EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{kExt, 18}, {kExt, 17}}), Requests(mark));
  EXPECT_TRUE(SetsSince(mark).empty());
  EXPECT_TRUE(site.statuses.empty());

  EXPECT_EQ("ggggggn", PadIcons()) << "only zoom in is usable";
  EXPECT_TRUE(Enabled(kFaceBox));
  EXPECT_FALSE(Checked(kFaceBox));
  EXPECT_TRUE(Enabled(kEffectsBox));
  EXPECT_FALSE(Checked(kEffectsBox));
  for (int id = 337; id <= 346; ++id) EXPECT_TRUE(Visible(id)) << id;
  for (int id : {327, 336, 347, 356, 388, 389}) EXPECT_FALSE(Visible(id)) << id;
  EXPECT_EQ(0, ShownEffectsEnabled());
  EXPECT_TRUE(Checked(327)) << "the camera's effect 1";

  const struct {
    int id;
    const char* text;
  } texts[] = {{316, "Face Tracking"}, {373, "Special Effects"}, {337, "Negative"}, {341, "Frosted Glass"},
               {346, "TV Wall"},       {327, "Rim 1"},           {356, "EffectR30"}, {396, "Default"}};
  for (const auto& t : texts) EXPECT_EQ(t.text, Text(t.id)) << "control " << t.id;
}

TEST_F(ImageControlPage, FaceTrackingOnAtStartLocksEffectsAndThePad) {
  SetCamera(Z9B_GROUP_EXT, 18, 0, 1);
  SetCamera(Z9B_GROUP_EXT, 17, 12, 1);  // the camera claims effects on too
  Open();
  EXPECT_TRUE(Checked(kFaceBox));
  EXPECT_EQ("ggggggg", PadIcons());
  EXPECT_FALSE(Enabled(kEffectsBox)) << "effects are impossible while face tracking is on";
  EXPECT_FALSE(Checked(kEffectsBox));
  EXPECT_EQ(0, ShownEffectsEnabled());
  // The camera is told what the page shows: effects off, without a change.
  EXPECT_EQ(2, Camera(Z9B_GROUP_EXT, 17).flags);
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
  // The pad does nothing.
  uint32_t mark = Mark();
  Press(kZoomIn);
  Release(kZoomIn);
  EXPECT_TRUE(SetsSince(mark).empty());
  // The next command keeps effects off.
  mark = Mark();
  Click(kFaceBox);
  EXPECT_EQ((std::vector<Sent>{{kExt, 17, 12, 2}, {kExt, 18, 0, 2}}), SetsSince(mark));
}

TEST_F(ImageControlPage, AZoomStepAtStartShowsThePadZoomed) {
  ChangeCamera(Z9B_GROUP_EXT, 18, [](Z9B_CONTROL& c) { c.def = 2; });
  Open();
  EXPECT_EQ("nnnnnnn", PadIcons());
  EXPECT_EQ(0, ShownEffectsEnabled());
}

TEST_F(ImageControlPage, OneModeCamerasAreSetToTheirMode) {
  ChangeCamera(Z9B_GROUP_EXT, 18, [](Z9B_CONTROL& c) { c.capabilities = 1; });
  ChangeCamera(Z9B_GROUP_EXT, 17, [](Z9B_CONTROL& c) {
    c.capabilities = 2;
    c.flags = 1;
  });
  const uint32_t mark = Mark();
  Open();
  EXPECT_EQ((std::vector<Sent>{{kExt, 18, 0, 1}, {kExt, 17, 1, 2}}), SetsSince(mark));
  EXPECT_FALSE(Enabled(kFaceBox));
  EXPECT_TRUE(Checked(kFaceBox));
  EXPECT_FALSE(Enabled(kEffectsBox));
  EXPECT_EQ("ggggggg", PadIcons());
  EXPECT_EQ(S_FALSE, page->IsPageDirty()) << "reading is no change";
}

TEST_F(ImageControlPage, AbsentFeaturesAreHiddenOrDisabledAndNeverSent) {
  RemoveFromCamera(Z9B_GROUP_EXT, 17);
  Open();
  for (int id : {kEffectsBox, 390, 337, 346}) EXPECT_FALSE(Visible(id)) << id;
  uint32_t mark = Mark();
  Click(kFaceBox);
  EXPECT_EQ((std::vector<Sent>{{kExt, 18, 0, 1}}), SetsSince(mark)) << "no effects record, no picture in picture";
  Close();

  ASSERT_TRUE(bench.Reset());
  ChangeCamera(Z9B_GROUP_EXT, 18, [](Z9B_CONTROL& c) { c.supported = 0; });  // answered, but absent
  Open();
  EXPECT_FALSE(Enabled(kFaceBox));
  EXPECT_EQ("ggggggg", PadIcons());
  // The grey pad does nothing.
  mark = Mark();
  for (int button : {kZoomIn, kCentre}) {
    Press(button);
    Release(button);
  }
  Mouse(WM_MOUSEMOVE, Away());
  EXPECT_TRUE(SetsSince(mark).empty());
  EXPECT_EQ("ggggggg", PadIcons());
  EXPECT_EQ(nullptr, GetCapture());
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
  mark = Mark();
  Click(kEffectsBox);
  EXPECT_EQ((std::vector<Sent>{{kExt, 17, 0, 1}}), SetsSince(mark));
}

// ---- commands -----------------------------------------------------------------------------

TEST_F(ImageControlPage, FaceTrackingExcludesEffectsAndThePad) {
  Open();
  uint32_t mark = Mark();
  Click(kFaceBox);
  EXPECT_EQ((std::vector<Sent>{{kExt, 17, 1, 2}, {kExt, 18, 0, 1}}), SetsSince(mark));
  EXPECT_EQ("ggggggg", PadIcons());
  EXPECT_FALSE(Enabled(kEffectsBox));
  EXPECT_EQ(S_OK, page->IsPageDirty());

  mark = Mark();
  Click(kFaceBox);
  EXPECT_EQ((std::vector<Sent>{{kExt, 17, 1, 2}, {kExt, 18, 0, 2}}), SetsSince(mark));
  EXPECT_EQ("ggggggn", PadIcons());
  EXPECT_TRUE(Enabled(kEffectsBox));
}

TEST_F(ImageControlPage, EffectsChooseAnEffectAndExcludeFaceTracking) {
  Open();
  uint32_t mark = Mark();
  Click(kEffectsBox);
  EXPECT_EQ((std::vector<Sent>{{kExt, 17, 0, 1}, {kExt, 18, 0, 2}}), SetsSince(mark));
  EXPECT_EQ(10, ShownEffectsEnabled());
  EXPECT_FALSE(Enabled(kFaceBox));
  EXPECT_EQ("ggggggg", PadIcons());

  mark = Mark();
  Click(339);  // effect 13
  EXPECT_EQ((std::vector<Sent>{{kExt, 17, 13, 1}, {kExt, 18, 0, 2}}), SetsSince(mark));
  EXPECT_TRUE(Checked(339));
  EXPECT_EQ(13, Camera(Z9B_GROUP_EXT, 17).value);
  // The pad is out of use.
  mark = Mark();
  Press(kZoomIn);
  EXPECT_TRUE(SetsSince(mark).empty());

  mark = Mark();
  Click(kEffectsBox);
  EXPECT_EQ((std::vector<Sent>{{kExt, 17, 0, 2}, {kExt, 18, 0, 2}}), SetsSince(mark));
  EXPECT_EQ(0, ShownEffectsEnabled());
  EXPECT_EQ(0, EffectsChecked());
  EXPECT_TRUE(Enabled(kFaceBox));
  EXPECT_EQ("ggggggn", PadIcons());

  // An effect button reached while effects are off chooses nothing.
  mark = Mark();
  Command(342);
  EXPECT_EQ((std::vector<Sent>{{kExt, 17, 0, 2}, {kExt, 18, 0, 2}}), SetsSince(mark));
  EXPECT_FALSE(Checked(342));
}

TEST_F(ImageControlPage, DefaultSwitchesBothFeaturesOff) {
  ChangeCamera(Z9B_GROUP_EXT, 18, [](Z9B_CONTROL& c) { c.def = 3; });
  SetCamera(Z9B_GROUP_EXT, 17, 15, 1);
  Open();
  ASSERT_TRUE(Checked(kEffectsBox));
  const uint32_t mark = Mark();
  Click(kDefault);
  EXPECT_EQ((std::vector<Sent>{{kExt, 17, 0, 2}, {kExt, 18, 7, 2}}), SetsSince(mark));
  EXPECT_FALSE(Checked(kEffectsBox));
  EXPECT_TRUE(Enabled(kEffectsBox));
  EXPECT_FALSE(Checked(kFaceBox));
  EXPECT_TRUE(Enabled(kFaceBox));
  EXPECT_EQ("ggggggn", PadIcons()) << "the reset leaves the pad not zoomed";
  EXPECT_EQ(0, Camera(Z9B_GROUP_EXT, 18).def);
  // The next pad action finds the pad not zoomed: an arrow moves nothing.
  uint32_t after = Mark();
  Press(kUp);
  EXPECT_EQ((std::vector<Sent>{{kExt, 18, 7, 2}}), SetsSince(after));
  EXPECT_EQ("ggggggn", PadIcons());
  after = Mark();
  Release(kUp);
  EXPECT_TRUE(SetsSince(after).empty());
}

TEST_F(ImageControlPage, DefaultMarksThePageDirty) {
  Open();
  ASSERT_EQ(S_FALSE, page->IsPageDirty());
  Click(kDefault);
  EXPECT_EQ(S_OK, page->IsPageDirty());
  ASSERT_FALSE(site.statuses.empty());
  EXPECT_EQ(static_cast<DWORD>(PROPPAGESTATUS_DIRTY), site.statuses[0]);
}

// ---- the pad ------------------------------------------------------------------------------

TEST_F(ImageControlPage, AnArrowBeforeZoomingInChangesNoIconAndResendsTheRecord) {
  SetCamera(Z9B_GROUP_EXT, 18, 9);
  Open();
  uint32_t mark = Mark();
  Press(kUp);
  EXPECT_EQ((std::vector<Sent>{{kExt, 18, 9, 2}}), SetsSince(mark));
  EXPECT_EQ("ggggggn", PadIcons());
  mark = Mark();
  Release(kUp);
  EXPECT_TRUE(SetsSince(mark).empty()) << "a release while not zoomed sends nothing";
}

TEST_F(ImageControlPage, ZoomInMoveAndZoomOutBackToStepZero) {
  Open();
  // Zoom in: pressed icon, then the whole pad usable after the release.
  uint32_t mark = Mark();
  Press(kZoomIn);
  EXPECT_EQ((std::vector<Sent>{{kExt, 18, 6, 2}}), SetsSince(mark));
  EXPECT_EQ("ggggggp", PadIcons());
  EXPECT_EQ(1, Camera(Z9B_GROUP_EXT, 18).def);
  mark = Mark();
  Release(kZoomIn);
  EXPECT_EQ((std::vector<Sent>{{kExt, 18, 9, 2}}), SetsSince(mark));
  EXPECT_EQ("nnnnnnn", PadIcons());

  // An arrow now moves the picture, with its pressed icon while held; a
  // double click counts as a press.
  mark = Mark();
  Press(kRight);
  EXPECT_EQ((std::vector<Sent>{{kExt, 18, 2, 2}}), SetsSince(mark));
  EXPECT_EQ("nnpnnnn", PadIcons());
  EXPECT_EQ(dialog, GetCapture()) << "the release must reach the page wherever the pointer goes";
  Release(kRight);
  EXPECT_EQ("nnnnnnn", PadIcons());
  EXPECT_EQ(nullptr, GetCapture());
  mark = Mark();
  Press(kCentre, WM_LBUTTONDBLCLK);
  EXPECT_EQ((std::vector<Sent>{{kExt, 18, 0, 2}}), SetsSince(mark));
  Release(kCentre);

  // A second step in, then out twice: the pad greys after the release that
  // reaches step 0 (the page reads the camera's step on that release).
  Press(kZoomIn);
  Release(kZoomIn);
  EXPECT_EQ(2, Camera(Z9B_GROUP_EXT, 18).def);
  Press(kZoomOut);
  Release(kZoomOut);
  EXPECT_EQ("nnnnnnn", PadIcons()) << "still zoomed at step 1";
  Press(kZoomOut);
  EXPECT_EQ("nnnnnpn", PadIcons());
  mark = Mark();
  Release(kZoomOut);
  const std::vector<Z9B_LOG_ENTRY> log = Since(mark);
  ASSERT_EQ(2u, log.size());
  EXPECT_EQ(kGet, log[0].flags) << "the step is read back";
  EXPECT_EQ((std::vector<Sent>{{kExt, 18, 9, 2}}), SetsSince(mark));
  EXPECT_EQ("ggggggn", PadIcons());
  // Not zoomed again: arrows change nothing.
  Press(kUp);
  EXPECT_EQ("ggggggn", PadIcons());
}

TEST_F(ImageControlPage, ThePointerLeavingAZoomedPadReleasesOnce) {
  ChangeCamera(Z9B_GROUP_EXT, 18, [](Z9B_CONTROL& c) {
    c.def = 2;
    c.value = 9;
  });
  Open();
  Mouse(WM_MOUSEMOVE, CentreOf(kPad[kCentre].normal));
  uint32_t mark = Mark();
  Mouse(WM_MOUSEMOVE, Away());
  EXPECT_EQ((std::vector<Sent>{{kExt, 18, 9, 2}}), SetsSince(mark));
  EXPECT_EQ("nnnnnnn", PadIcons());
  mark = Mark();
  Mouse(WM_MOUSEMOVE, Away());
  Mouse(WM_MOUSEMOVE, MAKELPARAM(4, 4));
  EXPECT_TRUE(SetsSince(mark).empty()) << "only leaving the pad is a release";
}

// A press whose capture is taken away (another window, a menu, the frame
// closing) is released once, as if the button had gone up.
TEST_F(ImageControlPage, ALostCaptureReleasesThePressOnce) {
  enum Loss { kCaptureTaken, kCancelMode, kPageClosed };
  for (Loss loss : {kCaptureTaken, kCancelMode, kPageClosed}) {
    SCOPED_TRACE(testing::Message() << "loss " << loss);
    ASSERT_TRUE(bench.Reset());
    ChangeCamera(Z9B_GROUP_EXT, 18, [](Z9B_CONTROL& c) { c.def = 2; });
    Open();
    Press(kRight);
    ASSERT_EQ(dialog, GetCapture());
    const uint32_t mark = Mark();
    switch (loss) {
      case kCaptureTaken:
        SetCapture(parent);
        break;
      case kCancelMode:
        SendMessageA(dialog, WM_CANCELMODE, 0, 0);
        break;
      case kPageClosed:
        Close();
        break;
    }
    EXPECT_EQ((std::vector<Sent>{{kExt, 18, 9, 2}}), SetsSince(mark));
    if (loss != kPageClosed) {
      EXPECT_EQ("nnnnnnn", PadIcons());
      EXPECT_NE(dialog, GetCapture());
      // The button's own release, should it still arrive, is not a second one.
      Release(kRight);
      EXPECT_EQ((std::vector<Sent>{{kExt, 18, 9, 2}}), SetsSince(mark));
      ReleaseCapture();
      // The pad goes on working.
      const uint32_t next = Mark();
      Press(kUp);
      Release(kUp);
      EXPECT_EQ((std::vector<Sent>{{kExt, 18, 1, 2}, {kExt, 18, 9, 2}}), SetsSince(next));
    }
    Close();
  }
}

TEST_F(ImageControlPage, AClickAwayFromThePadDoesNothing) {
  Open();
  // The pointer passes over zoom in and leaves; the click lands elsewhere.
  Mouse(WM_MOUSEMOVE, CentreOf(kPad[kZoomIn].normal));
  Mouse(WM_MOUSEMOVE, Away());
  const uint32_t mark = Mark();
  Mouse(WM_LBUTTONDOWN, Away());
  Mouse(WM_LBUTTONUP, Away());
  EXPECT_TRUE(SetsSince(mark).empty());
  EXPECT_EQ("ggggggn", PadIcons());
  EXPECT_EQ(0, Camera(Z9B_GROUP_EXT, 18).def);
}

// ---- commit ----------------------------------------------------------------------------------

TEST_F(ImageControlPage, CloseWithoutApplyKeepsEveryChange) {
  Open();
  Click(kEffectsBox);
  Click(344);  // effect 18
  const uint32_t mark = Mark();
  Close();
  EXPECT_TRUE(SetsSince(mark).empty()) << "nothing is taken back";
  EXPECT_EQ(18, Camera(Z9B_GROUP_EXT, 17).value);
  EXPECT_EQ(1, Camera(Z9B_GROUP_EXT, 17).flags);

  Open();
  Click(kEffectsBox);
  Click(kFaceBox);
  EXPECT_EQ(S_OK, page->Apply());
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
  Close();
  EXPECT_EQ(1, Camera(Z9B_GROUP_EXT, 18).flags);
}

}  // namespace
