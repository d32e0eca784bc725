// The system's property frame on the camera's proxy filter object: the
// filter names the four pages, the frame shows them with their titles, each
// tab is photographed (Image Control with its pad zoomed), and the frame
// closes.
#include "frame_test_support.h"

#include <strmif.h>

#include <atomic>

#include "bench_client.h"
#include "wintest.h"

using namespace dextest;

namespace {

#ifndef Z9_PICTURES_DIR
#define Z9_PICTURES_DIR ""
#endif

struct FrameFindings {
  bool frameFound = false;
  std::vector<std::string> titles;
  std::vector<std::string> pagesShown;  // tabs whose dialog appeared, in tab order
  bool videoProcAmpShown = false;  // its slider and Default button exist
  std::string defaultButtonText;
  bool screenshotSaved = false;
  std::vector<std::string> picturesSaved;  // of the other tabs
  bool closedByButton = false;
};

struct DescendantSearch {
  int id;
  const char* cls;
  HWND found;
};

BOOL CALLBACK MatchDescendant(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<DescendantSearch*>(lp);
  if (GetDlgCtrlID(w) == s->id && IsWindowVisible(w) && lstrcmpiA(wintest::ClassOf(w).c_str(), s->cls) == 0) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

// The visible child of `parent` (any depth) with control id `id` and class.
HWND FindVisibleDescendant(HWND parent, int id, const char* className) {
  DescendantSearch s = {id, className, nullptr};
  EnumChildWindows(parent, MatchDescendant, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// Runs on its own thread while the frame's modal loop runs on the test's.
void WatchFrame(DWORD threadId, FrameFindings* out, std::atomic<bool>* frameReturned) {
  HWND frame = nullptr;
  wintest::WaitUntil(
      [&] {
        for (HWND w : wintest::WindowsOfProcess(GetCurrentProcessId(), "#32770"))
          if (GetWindowThreadProcessId(w, nullptr) == threadId && IsWindowVisible(w) &&
              wintest::WindowText(w).find("Z9 Camera") != std::string::npos)
            frame = w;
        return frame != nullptr || frameReturned->load();
      },
      20000, 50);
  if (frame != nullptr) {
    out->frameFound = true;
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(frame, PSM_GETTABCONTROL, 0, 0));
    wintest::WaitUntil([&] { return tabs && SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0) >= 4; }, 10000, 50);
    if (tabs) out->titles = TabTitles(tabs);
    // Every tab shows its page's dialog: a push button of each.
    // The other tabs are photographed on the way (Video Proc Amp below).
    const struct {
      const char* title;
      int button;
      const char* picture;
    } buttons[] = {{"Property Page", 450, "proppages-propertypage.png"},
                   {"Image Control", 396, "proppages-imagecontrol.png"},
                   {"Camera Control", 307, "proppages-cameracontrol.png"},
                   {"Video Proc Amp", 278, nullptr}};
    for (size_t i = 0; i < out->titles.size(); ++i) {
      for (const auto& b : buttons) {
        if (out->titles[i] != b.title) continue;
        SendMessageW(frame, PSM_SETCURSEL, static_cast<WPARAM>(i), 0);
        if (!wintest::WaitUntil([&] { return FindVisibleDescendant(frame, b.button, "Button") != nullptr; }, 10000,
                                50))
          continue;
        out->pagesShown.push_back(b.title);
        if (b.picture == nullptr || Z9_PICTURES_DIR[0] == '\0') continue;
        RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(500);
        wintest::MakeDirs(Z9_PICTURES_DIR);
        if (wintest::SaveScreenPng(std::string(Z9_PICTURES_DIR) + "\\" + b.picture, frame))
          out->picturesSaved.push_back(b.picture);
      }
    }
    int index = -1;
    for (size_t i = 0; i < out->titles.size(); ++i)
      if (out->titles[i] == "Video Proc Amp") index = static_cast<int>(i);
    if (index >= 0) {
      SendMessageW(frame, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
      HWND button = nullptr;
      wintest::WaitUntil(
          [&] {
            button = FindVisibleDescendant(frame, 278, "Button");
            return button != nullptr && FindVisibleDescendant(frame, 246, "msctls_trackbar32") != nullptr;
          },
          10000, 50);
      out->videoProcAmpShown = button != nullptr;
      if (button) out->defaultButtonText = wintest::WindowText(button);
      RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      Sleep(500);
      if (Z9_PICTURES_DIR[0] != '\0') {
        wintest::MakeDirs(Z9_PICTURES_DIR);
        out->screenshotSaved =
            wintest::SaveScreenPng(std::string(Z9_PICTURES_DIR) + "\\proppages-videoprocamp.png", frame);
      }
    }
    SendMessageW(frame, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    // The frame's modal loop notices the end at its next message.
    out->closedByButton = wintest::WaitUntil(
        [&] {
          if (IsWindow(frame)) PostMessageW(frame, WM_NULL, 0, 0);
          return frameReturned->load();
        },
        10000, 100);
  }
  // Whatever happened, the test thread must get out of the modal loop.
  for (int round = 0; round < 50 && !frameReturned->load(); ++round) {
    for (HWND w : wintest::WindowsOfProcess(GetCurrentProcessId()))
      if (GetWindowThreadProcessId(w, nullptr) == threadId) PostMessageW(w, WM_CLOSE, 0, 0);
    Sleep(200);
  }
}

TEST(SystemFrame, ShowsTheFourPagesOfTheProxyFilterAndCloses) {
  ComScope com;
  ASSERT_TRUE(com.ok());
  z9bench::Bench bench;
  ASSERT_TRUE(bench.Open(15000)) << "bench camera missing, error " << bench.LastError();
  ASSERT_TRUE(bench.Reset());
  // The Image Control pad shows zoomed when the camera is at a zoom step.
  Z9B_CONTROL face{};
  ASSERT_TRUE(bench.GetControl(Z9B_GROUP_EXT, 18, &face));
  face.def = 2;
  ASSERT_TRUE(bench.SetControl(face));
  DexLibrary dex;
  ASSERT_TRUE(dex.ok());
  ASSERT_EQ(dex.registerServer(), S_OK);

  Ref<IUnknown> filter(CreateProxyFilter());
  ASSERT_TRUE(filter) << "the prefix has no proxy filter object";
  Ref<ISpecifyPropertyPages> specify;
  ASSERT_EQ(filter->QueryInterface(IID_ISpecifyPropertyPages, specify.put()), S_OK);
  CAUUID pages = {};
  ASSERT_EQ(specify->GetPages(&pages), S_OK);
  ASSERT_EQ(pages.cElems, 4u);
  std::vector<std::string> expected;
  for (ULONG i = 0; i < pages.cElems; ++i) {
    bool ours = false;
    for (const PageClass& c : PageClasses())
      if (IsEqualCLSID(pages.pElems[i], *c.clsid)) {
        ours = true;
        expected.push_back(c.title);
      }
    EXPECT_TRUE(ours) << ClsidString(pages.pElems[i]);
  }

  FrameFindings found;
  std::atomic<bool> frameReturned{false};
  const DWORD testThread = GetCurrentThreadId();
  wintest::Thread watcher([&] { WatchFrame(testThread, &found, &frameReturned); });
  IUnknown* objects[] = {filter.get()};
  const HRESULT hr = OleCreatePropertyFrame(nullptr, 20, 20, L"Z9 Camera", 1, objects, pages.cElems, pages.pElems,
                                            MAKELCID(1033, SORT_DEFAULT), 0, nullptr);
  frameReturned = true;
  watcher.Join();
  CoTaskMemFree(pages.pElems);

  EXPECT_EQ(hr, S_OK);
  ASSERT_TRUE(found.frameFound) << "no property frame appeared";
  EXPECT_EQ(found.titles, expected);
  EXPECT_EQ(found.pagesShown, expected);
  EXPECT_TRUE(found.videoProcAmpShown) << "the Video Proc Amp dialog was not shown";
  EXPECT_EQ(found.defaultButtonText, "Default");
  if (Z9_PICTURES_DIR[0] != '\0') {
    EXPECT_TRUE(found.screenshotSaved);
    EXPECT_EQ(3u, found.picturesSaved.size());
  }
  EXPECT_TRUE(found.closedByButton) << "the frame did not close on Cancel";
  bench.Reset();
}

}  // namespace
