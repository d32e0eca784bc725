// The "Property Page" page, created from the built Z9100Dex.dll and hosted
// by a test page site on the bench camera: initialisation with the white-
// balance capability rules and the installed orientation, every user action,
// Reset, the selective-suspend question, Apply and the take-back on close.
#include "page_test_fixture.h"

#include <tuple>

using pagetest::Sent;

namespace {

constexpr uint32_t kExt = Z9B_KIND_EXT_CONTROL;
constexpr uint32_t kGet = z9::kKsPropertyTypeGet;
constexpr uint32_t kSet = z9::kKsPropertyTypeSet;

// Controls of the page.
constexpr int kAwbBox = 236;
constexpr int kEnvButtons[] = {401, 402, 403, 404};   // Value 0..3
constexpr int kFreqButtons[] = {411, 412, 413};       // Value 0..2
constexpr int kSizeButtons[] = {431, 432, 433, 434};  // Value 0..3
constexpr int kGainSliders[] = {325, 326, 327};       // ids 4..6
constexpr int kGainLabels[] = {238, 240, 242};

// "DefaultFlip" for the length of one test.
class ScopedDefaultFlip {
 public:
  explicit ScopedDefaultFlip(DWORD value) {
    wintest::RegSetDword(HKEY_LOCAL_MACHINE, pagetest::kSettingsKey, "DefaultFlip", value);
  }
  ~ScopedDefaultFlip() { wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, pagetest::kSettingsKey, "DefaultFlip"); }
};

// Replaces one import of a loaded module (its import address table entry)
// for the life of the object: the library's reboot request goes to the test
// instead of ending the session.
class ImportPatch {
 public:
  ImportPatch(HMODULE module, const char* dll, const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return;
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name != 0; ++imp) {
      if (lstrcmpiA(reinterpret_cast<const char*>(base + imp->Name), dll) != 0) continue;
      auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
      auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
      for (; names->u1.AddressOfData != 0; ++names, ++slots) {
        if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
        auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
        if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
        slot_ = reinterpret_cast<void**>(&slots->u1.Function);
        original_ = Swap(replacement);
        return;
      }
    }
  }
  ~ImportPatch() {
    if (slot_) Swap(original_);
  }
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;
  bool ok() const { return slot_ != nullptr; }

 private:
  void* Swap(void* value) {
    DWORD old = 0;
    VirtualProtect(slot_, sizeof(void*), PAGE_READWRITE, &old);
    void* previous = *slot_;
    *slot_ = value;
    VirtualProtect(slot_, sizeof(void*), old, &old);
    return previous;
  }
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

// The stand-in reboot request: records its calls, answers as told.
struct RebootRequests {
  static inline int calls = 0;
  static inline UINT flags = 0;
  static inline BOOL answer = FALSE;
  static BOOL WINAPI Request(UINT how, DWORD) {
    ++calls;
    flags = how;
    return answer;
  }
};

class PropertyPage : public pagetest::PageTest {
 protected:
  PropertyPage() : PageTest(z9::CLSID_PropPage1) {}

  // White balance with both modes, automatic off: the gains are usable.
  void ManualWhiteBalance() {
    ChangeCamera(Z9B_GROUP_EXT, 0, [](Z9B_CONTROL& c) {
      c.capabilities = 3;
      c.flags = 2;
    });
  }
  // Which of `buttons` are checked, as a bit per button.
  template <size_t N>
  int CheckedOf(const int (&buttons)[N]) const {
    int bits = 0;
    for (size_t i = 0; i < N; ++i)
      if (Checked(buttons[i])) bits |= 1 << i;
    return bits;
  }
  template <size_t N>
  int EnabledOf(const int (&buttons)[N]) const {
    int bits = 0;
    for (size_t i = 0; i < N; ++i)
      if (Enabled(buttons[i])) bits |= 1 << i;
    return bits;
  }
  void AddFault(uint32_t kind, uint32_t id, uint32_t flags, uint32_t mode, int32_t value = 0, uint32_t count = 0) {
    Z9B_FAULT f = z9bench::MakeFault(kind, mode, value, count);
    f.id = id;
    f.flags = flags;
    ASSERT_TRUE(bench.AddFault(f));
  }
};

// ---- initialisation -------------------------------------------------------------------

TEST_F(PropertyPage, InitialisationReadsInOrderAndSendsBackAForcedMode) {
  // The camera's environment offers automatic mode only (Capabilities 1)
  // but is in manual mode: the page puts it in automatic mode.
  ChangeCamera(Z9B_GROUP_EXT, 0, [](Z9B_CONTROL& c) {
    c.capabilities = 1;
    c.flags = 2;
  });
  const uint32_t mark = Mark();
  Open();
  std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> log;
  for (const Z9B_LOG_ENTRY& e : Since(mark)) log.emplace_back(e.kind, e.id, e.flags);
  const std::vector<std::tuple<uint32_t, uint32_t, uint32_t>> expected = {
      {kExt, 0, kGet}, {kExt, 0, kSet}, {kExt, 1, kGet}, {kExt, 2, kGet}, {kExt, 3, kGet},
      {Z9B_KIND_STREAM_INFO, 56, kGet}, {kExt, 4, kGet}, {kExt, 5, kGet}, {kExt, 6, kGet}, {kExt, 7, kGet}};
  EXPECT_EQ(expected, log);
  EXPECT_EQ((std::vector<Sent>{{kExt, 0, 0, 1}}), SetsSince(mark));
  EXPECT_EQ(1, Camera(Z9B_GROUP_EXT, 0).flags);
  // Environment Capabilities 1: box disabled but checked, gains disabled,
  // environment buttons usable.
  EXPECT_FALSE(Enabled(kAwbBox));
  EXPECT_TRUE(Checked(kAwbBox));
  EXPECT_EQ(0, EnabledOf(kGainSliders));
  EXPECT_EQ(0xF, EnabledOf(kEnvButtons));
  // Reading leaves the page clean.
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
  ASSERT_FALSE(site.statuses.empty());
  EXPECT_EQ(static_cast<DWORD>(PROPPAGESTATUS_CLEAN), site.statuses.back());
}

TEST_F(PropertyPage, InitialisationShowsTheCameraState) {
  ManualWhiteBalance();
  SetCamera(Z9B_GROUP_EXT, 0, 2, 2);    // tungsten
  SetCamera(Z9B_GROUP_EXT, 5, 40);      // green gain
  SetCamera(Z9B_GROUP_EXT, 3, 1);       // 800 x 600
  SetCamera(Z9B_GROUP_EXT, 7, 1);       // selective suspend on
  const uint32_t mark = Mark();
  Open();
  EXPECT_TRUE(SetsSince(mark).empty()) << "both modes offered: nothing sent";
  EXPECT_TRUE(site.statuses.empty());

  EXPECT_TRUE(Enabled(kAwbBox));
  EXPECT_FALSE(Checked(kAwbBox));
  EXPECT_EQ(0, EnabledOf(kEnvButtons));
  EXPECT_EQ(0x4, CheckedOf(kEnvButtons)) << "403 is Tungsten";
  EXPECT_EQ(0x7, EnabledOf(kGainSliders));
  EXPECT_EQ(0, SliderMin(325));
  EXPECT_EQ(255, SliderMax(325));
  EXPECT_EQ(128, SliderPos(325));
  EXPECT_EQ(40, SliderPos(326));
  for (int slider : kGainSliders) ExpectThumbAtPosition(slider);
  EXPECT_EQ(0x7, EnabledOf(kFreqButtons));
  EXPECT_EQ(0x2, CheckedOf(kFreqButtons)) << "50 Hz";
  EXPECT_TRUE(Enabled(421));
  EXPECT_FALSE(Checked(421));
  EXPECT_FALSE(Checked(422));
  EXPECT_EQ(0xF, EnabledOf(kSizeButtons));
  EXPECT_EQ(0x2, CheckedOf(kSizeButtons));
  EXPECT_TRUE(Enabled(244));
  EXPECT_TRUE(Checked(244));
  EXPECT_FALSE(Enabled(309)) << "the LED box has no behaviour";

  const struct {
    int id;
    const char* text;
  } texts[] = {{236, "Auto White Balance"}, {401, "Auto"},     {402, "Daylight"},  {403, "Tungsten"},
               {404, "Fluorescent"},        {243, "RGB gain"}, {238, "R"},         {411, "Outdoor"},
               {412, "50 Hz"},              {431, "640 x 480"}, {434, "1280 x 960"}, {244, "Selective Suspend"},
               {450, "Default"},            {420, "Rotation"}, {430, "Extension"}};
  for (const auto& t : texts) EXPECT_EQ(t.text, Text(t.id)) << "control " << t.id;
}

TEST_F(PropertyPage, ManualOnlyWhiteBalanceIsSentBackOff) {
  ChangeCamera(Z9B_GROUP_EXT, 0, [](Z9B_CONTROL& c) {
    c.capabilities = 2;
    c.flags = 1;
  });
  const uint32_t mark = Mark();
  Open();
  EXPECT_EQ((std::vector<Sent>{{kExt, 0, 0, 2}}), SetsSince(mark));
  EXPECT_FALSE(Enabled(kAwbBox));
  EXPECT_FALSE(Checked(kAwbBox));
  EXPECT_EQ(0x7, EnabledOf(kGainSliders));
  EXPECT_EQ(0, EnabledOf(kEnvButtons));
}

TEST_F(PropertyPage, RotationIsShownRelativeToTheInstalledOrientation) {
  ScopedDefaultFlip flip(1);
  SetCamera(Z9B_GROUP_EXT, 2, 0x5);  // horizontal, plus a carried bit
  Open();
  EXPECT_FALSE(Checked(421));
  EXPECT_FALSE(Checked(422));
  uint32_t mark = Mark();
  Click(421);
  EXPECT_EQ((std::vector<Sent>{{kExt, 2, 0x4, 2}}), SetsSince(mark));
  EXPECT_TRUE(Checked(421));
  mark = Mark();
  Click(422);
  EXPECT_EQ((std::vector<Sent>{{kExt, 2, 0x6, 2}}), SetsSince(mark));
  EXPECT_TRUE(Checked(422));
  EXPECT_TRUE(Checked(421));
  // Each toggle starts from the camera's current value.
  SetCamera(Z9B_GROUP_EXT, 2, 0x1);
  mark = Mark();
  Click(422);
  EXPECT_EQ((std::vector<Sent>{{kExt, 2, 0x3, 2}}), SetsSince(mark));
}

TEST_F(PropertyPage, OnlyTheOrientationBitsOfDefaultFlipCount) {
  // Bit 2 of the installed value must not leak into the bits the camera
  // carries through.
  ScopedDefaultFlip flip(0x5);
  SetCamera(Z9B_GROUP_EXT, 2, 0x8);
  Open();
  EXPECT_TRUE(Checked(421));
  EXPECT_FALSE(Checked(422));
  const uint32_t mark = Mark();
  Click(450);
  bool sent = false;
  for (const Sent& s : SetsSince(mark))
    if (s.id == 2) {
      EXPECT_EQ(0x9, s.value);
      sent = true;
    }
  EXPECT_TRUE(sent);
  EXPECT_FALSE(Checked(421));
}

TEST_F(PropertyPage, ChoicesSendOnlyAChange) {
  ManualWhiteBalance();
  ChangeCamera(Z9B_GROUP_EXT, 0, [](Z9B_CONTROL& c) { c.flags = 1; });
  Open();
  const struct {
    int button;
    uint32_t id;
    int32_t value;
    int checkedBits;
    const int* group;
  } clicks[] = {
      {403, 0, 2, 0x4, kEnvButtons}, {404, 0, 3, 0x8, kEnvButtons},   {411, 1, 0, 0x1, kFreqButtons},
      {413, 1, 2, 0x4, kFreqButtons}, {434, 3, 3, 0x8, kSizeButtons}, {431, 3, 0, 0x1, kSizeButtons},
  };
  for (const auto& c : clicks) {
    SCOPED_TRACE(c.button);
    uint32_t mark = Mark();
    Click(c.button);
    EXPECT_EQ(c.value, Camera(Z9B_GROUP_EXT, c.id).value);
    const std::vector<Sent> sets = SetsSince(mark);
    ASSERT_EQ(1u, sets.size());
    EXPECT_EQ(c.id, sets[0].id);
    EXPECT_EQ(c.value, sets[0].value);
    mark = Mark();
    Click(c.button);
    EXPECT_TRUE(SetsSince(mark).empty()) << "the chosen button again sends nothing";
  }
  EXPECT_EQ(0x8, CheckedOf(kEnvButtons));
  EXPECT_EQ(0x4, CheckedOf(kFreqButtons));
  EXPECT_EQ(0x1, CheckedOf(kSizeButtons));
}

TEST_F(PropertyPage, SnapshotSizesNeedA640WideStream) {
  const struct {
    uint32_t type, width, height;
  } streams[] = {{1, 1280, 960}, {0, 640, 480}, {1, 320, 240}};
  for (const auto& s : streams) {
    SCOPED_TRACE(testing::Message() << s.type << " " << s.width);
    ASSERT_TRUE(bench.SetStreamInfo(s.type, s.width, s.height));
    Open();
    EXPECT_EQ(0, EnabledOf(kSizeButtons));
    EXPECT_EQ(0x1, CheckedOf(kSizeButtons)) << "the camera's size is still shown";
    Close();
  }
  // A stream query that fails counts as no stream.
  ASSERT_TRUE(bench.SetStreamInfo(1, 640, 480));
  AddFault(Z9B_KIND_STREAM_INFO, Z9B_ANY_ID, 0, Z9B_FAULT_FAIL);
  Open();
  EXPECT_EQ(0, EnabledOf(kSizeButtons));
  Close();
  ASSERT_TRUE(bench.ClearFaults());
  Open();
  EXPECT_EQ(0xF, EnabledOf(kSizeButtons));
}

TEST_F(PropertyPage, GainSlidersSetTheirGain) {
  ManualWhiteBalance();
  Open();
  const struct {
    int slider;
    uint32_t id;
    int code, thumb;
    int32_t expected;
  } moves[] = {{325, 4, SB_THUMBTRACK, 200, 200}, {326, 5, SB_LINELEFT, 0, 127}, {327, 6, SB_TOP, 0, 255},
               {327, 6, SB_LINERIGHT, 0, 255},    {325, 4, SB_BOTTOM, 0, 0}};
  for (const auto& m : moves) {
    SCOPED_TRACE(m.slider);
    const uint32_t mark = Mark();
    Scroll(m.slider, m.code, m.thumb);
    EXPECT_EQ((std::vector<Sent>{{kExt, m.id, m.expected, 2}}), SetsSince(mark));
    EXPECT_EQ(m.expected, SliderPos(m.slider));
  }
  EXPECT_EQ(S_OK, page->IsPageDirty());
}

TEST_F(PropertyPage, AutoWhiteBalanceBoxSwitchesGainsAndResendsMovedGains) {
  ManualWhiteBalance();
  Open();
  uint32_t mark = Mark();
  Click(kAwbBox);  // automatic on
  EXPECT_EQ((std::vector<Sent>{{kExt, 0, 0, 1}, {kExt, 4, 128, 2}, {kExt, 5, 128, 2}, {kExt, 6, 128, 2}}),
            SetsSince(mark));
  EXPECT_EQ(0xF, EnabledOf(kEnvButtons));
  EXPECT_EQ(0, EnabledOf(kGainSliders));
  EXPECT_EQ(0, EnabledOf(kGainLabels));

  // Leaving automatic mode: the camera moved the green gain meanwhile; the
  // page sends the user's value again.
  AddFault(kExt, 5, kGet, Z9B_FAULT_VALUE, 99, 1);
  mark = Mark();
  Click(kAwbBox);
  EXPECT_EQ((std::vector<Sent>{{kExt, 0, 0, 2}, {kExt, 4, 128, 1}, {kExt, 5, 128, 1}, {kExt, 6, 128, 1},
                               {kExt, 5, 128, 1}}),
            SetsSince(mark));
  EXPECT_EQ(0, EnabledOf(kEnvButtons));
  EXPECT_EQ(0x7, EnabledOf(kGainSliders));
  EXPECT_EQ(0x7, EnabledOf(kGainLabels));
}

TEST_F(PropertyPage, SelectiveSuspendAsksAndNoKeepsTheSetting) {
  Open();
  {
    wintest::MessageBoxWatcher answer("Setting Change", GetCurrentProcessId(), IDNO, 10000);
    const uint32_t mark = Mark();
    Click(244);
    ASSERT_TRUE(answer.Wait(10000)) << "no restart question";
    EXPECT_NE(std::string::npos, answer.Text().find("You must restart your computer")) << answer.Text();
    EXPECT_EQ((std::vector<Sent>{{kExt, 7, 1, 2}}), SetsSince(mark));
  }
  EXPECT_TRUE(Checked(244));
  EXPECT_EQ(1, Camera(Z9B_GROUP_EXT, 7).value);

  // A SET the camera refuses asks nothing.
  AddFault(kExt, 7, kSet, Z9B_FAULT_FAIL);
  {
    wintest::MessageBoxWatcher answer("Setting Change", GetCurrentProcessId(), IDNO, 1500);
    Click(244);
    EXPECT_FALSE(answer.Wait(3000)) << "asked after a failed change";
  }
  EXPECT_EQ(1, Camera(Z9B_GROUP_EXT, 7).value);
}

TEST_F(PropertyPage, SelectiveSuspendYesRequestsARebootAndReportsARefusal) {
  ImportPatch patch(module_, "user32.dll", "ExitWindowsEx", reinterpret_cast<void*>(&RebootRequests::Request));
  ASSERT_TRUE(patch.ok()) << "the library does not import ExitWindowsEx";
  Open();
  // The system refuses the reboot: the page says so.
  RebootRequests::calls = 0;
  RebootRequests::answer = FALSE;
  {
    wintest::MessageBoxWatcher question("Setting Change", GetCurrentProcessId(), IDYES, 10000);
    wintest::MessageBoxWatcher refusal("ERROR", GetCurrentProcessId(), IDOK, 10000);
    Click(244);
    ASSERT_TRUE(question.Wait(10000));
    ASSERT_TRUE(refusal.Wait(10000)) << "no report of the refused reboot";
    EXPECT_EQ("Can not restart Windows !", refusal.Text());
  }
  EXPECT_EQ(1, RebootRequests::calls);
  EXPECT_EQ(static_cast<UINT>(EWX_REBOOT), RebootRequests::flags);
  EXPECT_EQ(1, Camera(Z9B_GROUP_EXT, 7).value);

  // An accepted reboot shows nothing more.
  RebootRequests::calls = 0;
  RebootRequests::answer = TRUE;
  {
    wintest::MessageBoxWatcher question("Setting Change", GetCurrentProcessId(), IDYES, 10000);
    wintest::MessageBoxWatcher refusal("ERROR", GetCurrentProcessId(), IDOK, 1500);
    Click(244);
    ASSERT_TRUE(question.Wait(10000));
    EXPECT_FALSE(refusal.Wait(3000));
  }
  EXPECT_EQ(1, RebootRequests::calls);
  EXPECT_EQ(0, Camera(Z9B_GROUP_EXT, 7).value);
}

TEST_F(PropertyPage, SelectiveSuspendUnreadableKeepsTheBoxAndAsksNothing) {
  Open();
  AddFault(kExt, 7, kGet, Z9B_FAULT_FAIL);
  wintest::MessageBoxWatcher answer("Setting Change", GetCurrentProcessId(), IDNO, 1500);
  const uint32_t mark = Mark();
  Click(244);
  EXPECT_FALSE(answer.Wait(3000));
  EXPECT_TRUE(SetsSince(mark).empty());
  EXPECT_FALSE(Checked(244)) << "the box shows the camera's setting";
  EXPECT_EQ(0, Camera(Z9B_GROUP_EXT, 7).value);
}

TEST_F(PropertyPage, ResetRestoresDefaultsStepByStep) {
  ScopedDefaultFlip flip(2);
  ManualWhiteBalance();
  SetCamera(Z9B_GROUP_EXT, 0, 3, 2);
  SetCamera(Z9B_GROUP_EXT, 1, 2);
  SetCamera(Z9B_GROUP_EXT, 2, 0xD);
  SetCamera(Z9B_GROUP_EXT, 3, 2);
  SetCamera(Z9B_GROUP_EXT, 4, 10);
  SetCamera(Z9B_GROUP_EXT, 6, 250);
  SetCamera(Z9B_GROUP_EXT, 7, 1);
  Open();
  // The frequency step fails; the others go on.
  AddFault(kExt, 1, kSet, Z9B_FAULT_FAIL);
  const uint32_t mark = Mark();
  Click(450);
  const std::vector<Sent> expected = {{kExt, 0, 0, 2},   {kExt, 1, 1, 2},   {kExt, 2, 0xE, 2}, {kExt, 3, 0, 2},
                                      {kExt, 4, 128, 2}, {kExt, 5, 128, 2}, {kExt, 6, 128, 2}};
  EXPECT_EQ(expected, SetsSince(mark));
  EXPECT_EQ(0x1, CheckedOf(kEnvButtons));
  EXPECT_EQ(0x4, CheckedOf(kFreqButtons)) << "the refused frequency keeps its button";
  EXPECT_FALSE(Checked(421));
  EXPECT_FALSE(Checked(422));
  EXPECT_EQ(0x1, CheckedOf(kSizeButtons));
  EXPECT_EQ(128, SliderPos(325));
  EXPECT_EQ(128, SliderPos(327));
  EXPECT_EQ(0x7, EnabledOf(kGainSliders));
  EXPECT_EQ(2, Camera(Z9B_GROUP_EXT, 0).flags) << "the white-balance mode stays";
  EXPECT_EQ(1, Camera(Z9B_GROUP_EXT, 7).value) << "selective suspend stays";
  EXPECT_EQ(0xE, Camera(Z9B_GROUP_EXT, 2).value);

  // With automatic white balance on, Reset leaves the gains locked.
  Close();
  ASSERT_TRUE(bench.Reset());
  Open();
  ASSERT_TRUE(Checked(kAwbBox));
  Click(450);
  EXPECT_EQ(0, EnabledOf(kGainSliders));
}

TEST_F(PropertyPage, EveryGainSliderReachesItsOwnGainAtBothEnds) {
  ManualWhiteBalance();
  Open();
  const struct {
    int slider;
    uint32_t id;
  } rows[] = {{325, 4}, {326, 5}, {327, 6}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.slider);
    for (int code : {SB_TOP, SB_BOTTOM}) {
      const uint32_t mark = Mark();
      Scroll(r.slider, code);
      const int32_t want = code == SB_TOP ? SliderMax(r.slider) : SliderMin(r.slider);
      EXPECT_EQ((std::vector<Sent>{{kExt, r.id, want, 2}}), SetsSince(mark));
      EXPECT_EQ(want, Camera(Z9B_GROUP_EXT, r.id).value);
    }
  }
}

TEST_F(PropertyPage, DefaultMarksThePageDirty) {
  Open();
  ASSERT_EQ(S_FALSE, page->IsPageDirty());
  Click(450);
  EXPECT_EQ(S_OK, page->IsPageDirty());
  ASSERT_FALSE(site.statuses.empty());
  EXPECT_EQ(static_cast<DWORD>(PROPPAGESTATUS_DIRTY), site.statuses[0]);
}

// ---- commit and take-back --------------------------------------------------------

TEST_F(PropertyPage, ApplyThenCloseKeepsTheChanges) {
  ManualWhiteBalance();
  Open();
  Click(403);
  Click(413);
  Scroll(325, SB_THUMBTRACK, 77);
  EXPECT_EQ(S_OK, page->Apply());
  EXPECT_EQ(S_FALSE, page->IsPageDirty());
  const uint32_t mark = Mark();
  Close();
  EXPECT_EQ((std::vector<uint32_t>{0, 2, 3, 4, 5, 6, 7}), ExtSetIds(mark));
  EXPECT_EQ(2, Camera(Z9B_GROUP_EXT, 0).value);
  EXPECT_EQ(2, Camera(Z9B_GROUP_EXT, 1).value);
  EXPECT_EQ(77, Camera(Z9B_GROUP_EXT, 4).value);
}

TEST_F(PropertyPage, CloseWithoutApplyTakesBackAllButTheFrequency) {
  ManualWhiteBalance();
  Open();
  Click(404);
  Click(411);
  Click(421);
  Click(433);
  Scroll(326, SB_TOP);
  const uint32_t mark = Mark();
  Close();
  EXPECT_EQ((std::vector<uint32_t>{0, 2, 3, 4, 5, 6, 7}), ExtSetIds(mark)) << "never id 1, never ids 8 and up";
  EXPECT_EQ(0, Camera(Z9B_GROUP_EXT, 0).value);
  EXPECT_EQ(0, Camera(Z9B_GROUP_EXT, 2).value);
  EXPECT_EQ(0, Camera(Z9B_GROUP_EXT, 3).value);
  EXPECT_EQ(128, Camera(Z9B_GROUP_EXT, 5).value);
  EXPECT_EQ(0, Camera(Z9B_GROUP_EXT, 1).value) << "the frequency is not taken back";
}

TEST_F(PropertyPage, ControlsTheCameraLacksStayDisabledAndAreNeverSent) {
  RemoveFromCamera(Z9B_GROUP_EXT, 3);
  RemoveFromCamera(Z9B_GROUP_EXT, 5);
  ChangeCamera(Z9B_GROUP_EXT, 7, [](Z9B_CONTROL& c) { c.supported = 0; });  // answered, but absent
  AddFault(kExt, 1, kGet, Z9B_FAULT_FAIL);
  ManualWhiteBalance();
  Open();
  EXPECT_EQ(0, EnabledOf(kSizeButtons));
  EXPECT_EQ(0, EnabledOf(kFreqButtons));
  EXPECT_EQ(0x5, EnabledOf(kGainSliders));
  EXPECT_FALSE(Enabled(244));
  uint32_t mark = Mark();
  Click(450);
  Click(kAwbBox);  // automatic
  Click(kAwbBox);  // manual again: only the gains the camera has
  EXPECT_FALSE(Checked(kAwbBox));
  EXPECT_EQ(0x5, EnabledOf(kGainSliders));
  for (uint32_t id : ExtSetIds(mark)) EXPECT_TRUE(id != 1 && id != 3 && id != 5 && id != 7) << id;
  mark = Mark();
  Close();
  EXPECT_EQ((std::vector<uint32_t>{0, 2, 4, 6}), ExtSetIds(mark));
}

}  // namespace
