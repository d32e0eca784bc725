// Every page of the built Z9100Dex.dll on a bench camera that misbehaves:
// each request kind the pages send (Video Proc Amp, Camera Control, the
// camera's own controls, the running stream) failed, answered without a word
// written and answered with garbage, at the page's initialisation; SETs
// that fail under a user action; and the camera unplugged while a page
// opens. The page comes up with every text bounded and every slider inside
// its range, and afterwards a page on the healthy camera shows exactly what
// it showed before and its next change reaches the camera.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "page_test_fixture.h"
#include "test_access_filter.h"

namespace {

struct PageKind {
  const char* name;
  CLSID clsid;
  // A user action that sends one SET: its kind, id and the value it sends.
  int slider;       // a slider moved to its thumb position, or 0
  int button;       // else a box clicked
  int thumb;
  uint32_t setKind, setId;
  int32_t setValue;
};

std::ostream& operator<<(std::ostream& os, const PageKind& p) { return os << p.name; }

const PageKind kPages[] = {
    {"VideoProcAmp", z9::CLSID_DefaultPage1, 246, 0, 7, Z9B_KIND_PROCAMP, 0, 7},
    {"CameraControl", z9::CLSID_DefaultPage2, 280, 0, 7, Z9B_KIND_CAMCONTROL, 3, 7},
    {"PropertyPage", z9::CLSID_PropPage1, 325, 0, 200, Z9B_KIND_EXT_CONTROL, 4, 200},
    {"ImageControl", z9::CLSID_PropPage2, 0, 373, 0, Z9B_KIND_EXT_CONTROL, 17, 0},
};

class PageFaults : public pagetest::PageTest, public ::testing::WithParamInterface<PageKind> {
 protected:
  PageFaults() : PageTest(GetParam().clsid) {}

  void Prepare() {
    // The Property Page's gains move only with automatic white balance off.
    ChangeCamera(Z9B_GROUP_EXT, 0, [](Z9B_CONTROL& c) {
      c.capabilities = 3;
      c.flags = 2;
    });
  }

  // What the page shows: per child, its state, text, check, position.
  std::string Snapshot() {
    std::ostringstream out;
    for (HWND w = GetWindow(dialog, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      const std::string cls = wintest::ClassOf(w);
      out << GetDlgCtrlID(w) << ' ' << cls << ' ' << (IsWindowEnabled(w) ? 'E' : '-')
          << ((GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE) ? 'V' : '-');
      if (_stricmp(cls.c_str(), TRACKBAR_CLASSA) == 0) {
        out << " pos " << SendMessageA(w, TBM_GETPOS, 0, 0) << " in " << SendMessageA(w, TBM_GETRANGEMIN, 0, 0)
            << ".." << SendMessageA(w, TBM_GETRANGEMAX, 0, 0);
      } else if (_stricmp(cls.c_str(), "ComboBox") == 0) {
        out << " sel " << SendMessageA(w, CB_GETCURSEL, 0, 0) << " of " << SendMessageA(w, CB_GETCOUNT, 0, 0);
      } else {
        out << " '" << wintest::WindowText(w) << "'";
        if (_stricmp(cls.c_str(), "Button") == 0) out << " check " << SendMessageA(w, BM_GETCHECK, 0, 0);
      }
      out << '\n';
    }
    return out.str();
  }

  // Bounded texts and sliders inside their ranges, on every child.
  void ExpectSane() {
    int children = 0;
    for (HWND w = GetWindow(dialog, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      ++children;
      SCOPED_TRACE(testing::Message() << "control " << GetDlgCtrlID(w));
      EXPECT_LT(GetWindowTextLengthA(w), 128) << "a text grew without bound";
      if (_stricmp(wintest::ClassOf(w).c_str(), TRACKBAR_CLASSA) == 0) {
        const LRESULT pos = SendMessageA(w, TBM_GETPOS, 0, 0);
        EXPECT_GE(pos, SendMessageA(w, TBM_GETRANGEMIN, 0, 0));
        EXPECT_LE(pos, SendMessageA(w, TBM_GETRANGEMAX, 0, 0));
      }
    }
    EXPECT_GT(children, 5) << "the page has no controls";
  }

  // The page's action on the opened page: what the camera was sent.
  std::vector<pagetest::Sent> Act(int thumbOffset = 0) {
    const uint32_t mark = Mark();
    const PageKind& p = GetParam();
    if (p.slider != 0)
      Scroll(p.slider, SB_THUMBTRACK, p.thumb + thumbOffset);
    else
      Click(p.button);
    return SetsSince(mark);
  }

  // The page's action reaches the camera: its SET went through and the
  // camera holds the value.
  void ExpectTheActionWorks() {
    const PageKind& p = GetParam();
    const uint32_t mark = Mark();
    Act();
    bool found = false;
    for (const Z9B_LOG_ENTRY& e : Since(mark))
      if (e.kind == p.setKind && e.id == p.setId && e.flags == z9::kKsPropertyTypeSet) {
        found = true;
        EXPECT_EQ(e.status, 0u) << "the SET failed";
      }
    EXPECT_TRUE(found) << "the action sent no SET of its control";
    const uint32_t group = p.setKind == Z9B_KIND_PROCAMP      ? Z9B_GROUP_PROCAMP
                           : p.setKind == Z9B_KIND_CAMCONTROL ? Z9B_GROUP_CAMCONTROL
                                                              : Z9B_GROUP_EXT;
    const Z9B_CONTROL c = Camera(group, p.setId);
    if (p.slider != 0)
      EXPECT_EQ(c.value, p.setValue);
    else
      EXPECT_EQ(c.flags, 1) << "the box's mode";
  }
};

// Faults at the page's initialisation, for every kind the pages send and
// every way of misbehaving; ANY covers the kinds together.
TEST_P(PageFaults, InitialisationFaultsOfEveryKind) {
  Prepare();
  const uint32_t start = Mark();
  Open();
  const std::string healthy = Snapshot();
  Close();
  bool sent[Z9B_KIND_COUNT] = {};
  for (const Z9B_LOG_ENTRY& e : Since(start))
    if (e.kind < Z9B_KIND_COUNT) sent[e.kind] = true;

  const uint32_t kinds[] = {Z9B_KIND_PROCAMP, Z9B_KIND_CAMCONTROL, Z9B_KIND_EXT_CONTROL, Z9B_KIND_STREAM_INFO,
                            Z9B_KIND_ANY};
  const struct {
    uint32_t mode;
    int32_t value;
  } modes[] = {{Z9B_FAULT_FAIL, 0},           {Z9B_FAULT_NOWRITE, 0}, {Z9B_FAULT_VALUE, 0x7FFFFFFF},
               {Z9B_FAULT_VALUE, INT32_MIN}, {Z9B_FAULT_VALUE, 0x10F}};
  for (uint32_t kind : kinds) {
    if (kind != Z9B_KIND_ANY && !sent[kind]) continue;  // not a kind this page sends
    for (const auto& m : modes) {
      SCOPED_TRACE(testing::Message() << "kind " << z9bench::KindName(kind) << ", mode " << m.mode << ", value "
                                      << m.value);
      Z9B_FAULT f = z9bench::MakeFault(kind, m.mode, m.value);
      f.flags = z9::kKsPropertyTypeGet;  // the reads; descriptions and access queries keep working
      ASSERT_TRUE(bench.AddFault(f));
      if (m.mode != Z9B_FAULT_VALUE) {
        // The descriptions and access queries fail or stay silent too.
        Z9B_FAULT all = z9bench::MakeFault(kind, m.mode, m.value);
        ASSERT_TRUE(bench.AddFault(all));
      }
      const uint32_t mark = Mark();
      Z9B_COUNTERS before{};
      ASSERT_TRUE(bench.GetCounters(&before));
      Open();
      ExpectSane();
      Close();
      Z9B_COUNTERS after{};
      ASSERT_TRUE(bench.GetCounters(&after));
      EXPECT_GT(after.faultsApplied, before.faultsApplied) << "the fault never hit a request";
      ASSERT_TRUE(bench.ClearFaults());
      if (m.mode != Z9B_FAULT_VALUE) {
        // Nothing unread is written: no SET of the failing kind went out.
        for (const Z9B_LOG_ENTRY& e : Since(mark))
          if (e.flags == z9::kKsPropertyTypeSet && (kind == Z9B_KIND_ANY || e.kind == kind))
            ADD_FAILURE() << "sent " << z9bench::DescribeLogEntry(e);
      } else {
        // Garbage read back is the page's to send back on close: start over.
        ASSERT_TRUE(bench.Reset());
        Prepare();
      }
      Open();
      EXPECT_EQ(healthy, Snapshot()) << "the page on the healthy camera shows something else";
      ExpectTheActionWorks();
      Close();
      ASSERT_TRUE(bench.Reset());
      Prepare();
    }
  }
}

// The running-stream answer with every kind of type and size (the bench
// writes the sides as 16-bit values): the pages that ask come up sane with
// each, and show on a healthy answer what they showed before.
TEST_P(PageFaults, GarbageStreamAnswers) {
  Prepare();
  const uint32_t start = Mark();
  Open();
  const std::string healthy = Snapshot();
  Close();
  bool asks = false;
  for (const Z9B_LOG_ENTRY& e : Since(start)) asks = asks || e.kind == Z9B_KIND_STREAM_INFO;
  if (!asks) GTEST_SKIP() << "this page does not ask for the stream";
  const struct {
    uint32_t type, width, height;
  } answers[] = {{0, 640, 480}, {1, 0, 0}, {1, 65535, 65535}, {255, 640, 480}, {1, 639, 1}};
  for (const auto& a : answers) {
    SCOPED_TRACE(testing::Message() << "type " << a.type << ", " << a.width << " x " << a.height);
    ASSERT_TRUE(bench.SetStreamInfo(a.type, a.width, a.height));
    Open();
    ExpectSane();
    ExpectTheActionWorks();
    Close();
    ASSERT_TRUE(bench.Reset());
    Prepare();
  }
  Open();
  EXPECT_EQ(healthy, Snapshot());
}

// A SET that fails or is swallowed under the user's action: the page goes
// on, and the next action reaches the camera.
TEST_P(PageFaults, FailedSetsUnderAnAction) {
  const PageKind& p = GetParam();
  for (uint32_t mode : {uint32_t{Z9B_FAULT_FAIL}, uint32_t{Z9B_FAULT_NOWRITE}}) {
    SCOPED_TRACE(mode);
    ASSERT_TRUE(bench.Reset());
    Prepare();
    Open();
    Z9B_FAULT f = z9bench::MakeFault(p.setKind, mode);
    f.flags = z9::kKsPropertyTypeSet;
    ASSERT_TRUE(bench.AddFault(f));
    Act(-1);
    ExpectSane();
    ASSERT_TRUE(bench.ClearFaults());
    if (p.button != 0) Click(p.button);  // back, so that the click switches on again
    ExpectTheActionWorks();
    Close();
  }
}

// The camera unplugged in the middle of the page's initialisation (after
// its first requests) and before a page opens: the reads that follow fail,
// the page comes up sane. After the replug a filter made afresh serves a
// page that shows what it showed before and works.
TEST_P(PageFaults, CameraUnpluggedDuringTheInitialisation) {
  Prepare();
  Open();
  const std::string healthy = Snapshot();
  Close();
  for (int after : {1, 0}) {
    SCOPED_TRACE(testing::Message() << "unplugged after " << after << " requests");
    proptest::FakeFilter vanishing;
    IUnknown* camera = filter.get();
    int requests = 0;
    z9bench::Bench* control = &bench;
    if (after == 0) {
      ASSERT_TRUE(bench.Unplug());
    }
    vanishing.handler = [&, camera, control](const proptest::Request& r, ULONG* returned) {
      if (++requests == after) control->Unplug();
      return proptest::Forward(camera, r, returned);
    };
    Open(vanishing.Unknown());
    EXPECT_GT(requests, after) << "the page asked nothing after the camera went";
    ExpectSane();
    Act();
    Close();
    ASSERT_TRUE(bench.Replug());
  }
  filter.reset();
  ASSERT_EQ(S_OK, CoCreateInstance(pagetest::kClsidProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   filter.put_void()));
  Open();
  EXPECT_EQ(healthy, Snapshot());
  ExpectTheActionWorks();
}

INSTANTIATE_TEST_SUITE_P(EveryPage, PageFaults, ::testing::ValuesIn(kPages),
                         [](const testing::TestParamInfo<PageKind>& info) { return std::string(info.param.name); });

}  // namespace
