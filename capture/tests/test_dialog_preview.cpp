// The dialog on the bench camera's streaming filter: live preview in the
// pane, layout, tooltips, statistics, freeze and resume, the format pages,
// and stills handed to the host equal to what the imaging library makes of
// the camera's still.
#include <gtest/gtest.h>
#include <commctrl.h>
#include <prsht.h>

#include <imaging/still.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "bench_dialog_fixture.h"
#include "test_support.h"

namespace twntest {
namespace {

BOOL CALLBACK FindFormatList(HWND w, LPARAM p) {
  if (GetDlgCtrlID(w) == 100 && _stricmp(wintest::ClassOf(w).c_str(), "ListBox") == 0) {
    *reinterpret_cast<HWND*>(p) = w;
    return FALSE;
  }
  return TRUE;
}

class Preview : public BenchDialogTest {
 protected:

  // The camera answers every still with this one until the next reset.
  void UploadSticky(uint8_t format, uint32_t width, uint32_t height, uint8_t sizeCode,
                    const std::vector<uint8_t>& payload) {
    Z9B_STILL_UPLOAD up = {};
    up.format = format;
    up.sizeCode = sizeCode;
    up.width = width;
    up.height = height;
    up.flags = Z9B_UPLOAD_STICKY;
    up.payloadLength = static_cast<uint32_t>(payload.size());
    ASSERT_TRUE(bench_.UploadStill(up, payload.data(), payload.size()));
    still_ = z9::imgtest::MakeStill(format, width, height, payload);
    still_[26] = sizeCode;
  }

  // The imaging library's picture of the uploaded still.
  std::vector<uint8_t> ExpectedDib(uint32_t* width, uint32_t* height) {
    z9::StillHeader h;
    std::vector<uint8_t> dib = z9::imgtest::PictureOfStill(still_, &h);
    *width = h.width;
    *height = h.height;
    const uint32_t sizes[3][2] = {{800, 600}, {1024, 768}, {1280, 960}};
    if (h.sizeCode >= 101 && h.sizeCode <= 103) {
      const uint32_t* t = sizes[h.sizeCode - 101];
      std::vector<uint8_t> big = z9::UpscaleStill(dib.data(), dib.size(), h.width, h.height, t[0], t[1]);
      if (!big.empty()) {
        *width = t[0];
        *height = t[1];
        return big;
      }
    }
    return dib;
  }


  RECT ClientRectOf(int id) {
    RECT r = {};
    GetWindowRect(GetDlgItem(Dialog(), id), &r);
    MapWindowPoints(nullptr, Dialog(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }

  std::string StatusText(int part) {
    HWND bar = wintest::FindChildByClass(Dialog(), STATUSCLASSNAMEA);
    char text[256] = {};
    if (bar != nullptr) SendMessageA(bar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(text));
    return text;
  }

  std::string TipText(int id) {
    HWND tip = nullptr;
    for (HWND w : wintest::WindowsOfProcess(GetCurrentProcessId(), TOOLTIPS_CLASSA))
      if (GetWindow(w, GW_OWNER) == Dialog()) tip = w;
    if (tip == nullptr) return "<no tooltip>";
    char text[128] = {};
    TTTOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = Dialog();
    tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(Dialog(), id));
    tool.lpszText = text;
    if (!SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&tool))) return "<none>";
    SendMessageA(tip, TTM_GETTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    return text;
  }

  // The video window covers the pane's client area exactly.
  void ExpectVideoFillsPane() {
    HWND pane = GetDlgItem(Dialog(), 1006);
    HWND video = GetWindow(pane, GW_CHILD);
    ASSERT_NE(video, nullptr);
    EXPECT_TRUE(IsWindowVisible(video));
    RECT client = {}, r = {};
    GetClientRect(pane, &client);
    GetWindowRect(video, &r);
    MapWindowPoints(nullptr, pane, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right - r.left, client.right) << "video width";
    EXPECT_EQ(r.bottom - r.top, client.bottom) << "video height";
  }

  // Delivered frames a second as the status bar shows them (-1: unreadable).
  double DeliveredRate() {
    double delivered = -1, dropped = 0;
    if (std::sscanf(StatusText(1).c_str(), "%lf %lf", &delivered, &dropped) != 2) return -1;
    return delivered;
  }

  uint32_t Requests(uint32_t kind) {
    Z9B_COUNTERS c = {};
    EXPECT_TRUE(bench_.GetCounters(&c));
    return c.byKind[kind];
  }

  std::vector<HostEvent> Infos() {
    std::vector<HostEvent> out;
    for (const HostEvent& e : Events())
      if (e.code == 0) out.push_back(e);
    return out;
  }

  // Opens "&Mode" and picks capability `index` of the bench's format page.
  bool PickFormat(int index) {
    std::atomic<bool> picked{false};
    wintest::Thread helper([&] {
      for (int attempt = 0; attempt < 200 && !picked; ++attempt) {
        Sleep(50);
        for (HWND frame : wintest::WindowsOfProcess(GetCurrentProcessId(), "#32770")) {
          if (frame == Dialog() || !IsWindowVisible(frame)) continue;
          HWND list = nullptr;
          EnumChildWindows(frame, FindFormatList, reinterpret_cast<LPARAM>(&list));
          if (list == nullptr) continue;
          const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
          for (LRESULT i = 0; i < count; ++i)
            if (SendMessageA(list, LB_GETITEMDATA, i, 0) == index) {
              SendMessageA(list, LB_SETCURSEL, i, 0);
              SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(100, LBN_SELCHANGE),
                           reinterpret_cast<LPARAM>(list));
            }
          SendMessageA(frame, PSM_PRESSBUTTON, PSBTN_OK, 0);
          Sleep(300);
          if (IsWindow(frame)) PostMessageA(frame, WM_COMMAND, IDOK, 0);
          picked = true;
          break;
        }
      }
    });
    PostMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(1002, BN_CLICKED), 0);
    wintest::WaitUntil([&] { return picked.load(); }, 12000);
    helper.Join();
    wintest::PumpFor(1500);
    return picked;
  }

  std::vector<uint8_t> still_;
};

TEST_F(Preview, OpensWithLiveVideoLayoutTooltipsAndStatistics) {
  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  EXPECT_TRUE(boxes.Texts().empty());
  // The host learns the stream: 640 x 480 RGB24 at 30 frames per second.
  ASSERT_EQ(Events().size(), 1u);
  const std::vector<uint8_t> info = {0x80, 0x02, 0xE0, 0x01, 2, 0, 0, 0, 30, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(Events()[0].code, 0u);
  EXPECT_EQ(Events()[0].info, info);

  // The first layout.
  RECT d = {};
  GetWindowRect(Dialog(), &d);
  EXPECT_EQ(d.left, 8);
  EXPECT_EQ(d.top, 8);
  EXPECT_EQ(d.right - d.left, 674);
  EXPECT_EQ(d.bottom - d.top, 580);
  const RECT pane = ClientRectOf(1006);
  EXPECT_EQ(pane.left, 7);
  EXPECT_EQ(pane.top, 37);
  EXPECT_EQ(pane.right - pane.left, 650);
  EXPECT_EQ(pane.bottom - pane.top, 490);
  const int row[5] = {1000, 1002, 1030, 1001, 1};
  for (int i = 0; i < 5; ++i) {
    const RECT b = ClientRectOf(row[i]);
    EXPECT_EQ(b.left, 12 + 72 * i) << row[i];
    EXPECT_EQ(b.top, 8);
    EXPECT_EQ(b.right - b.left, 60);
    EXPECT_EQ(b.bottom - b.top, 20);
  }
  // The video window fills the pane.
  ExpectVideoFillsPane();
  // Tooltips from the library's strings; none for "&Property".
  EXPECT_EQ(TipText(1000), "Capture current image");
  EXPECT_EQ(TipText(1001), "Pause Camera");
  EXPECT_EQ(TipText(1002), "Set camera property");
  EXPECT_EQ(TipText(1), "Exit");
  EXPECT_EQ(TipText(1030), "<none>");
  EXPECT_EQ(StatusText(0), "Image Size: 640x480");
  EXPECT_EQ(StatusText(1), "0.0 0.0");
#ifdef Z9_PICTURES_DIR
  wintest::PumpFor(500);
  wintest::SaveScreenPng(std::string(Z9_PICTURES_DIR) + "\\capture-dialog.png", Dialog());
#endif
}

// The counters are the capture pin's: they move when the preview is split
// off the capture pin (a camera without a preview pin).
TEST_F(Preview, StatisticsShowTheCapturePinsRate) {
  z9bench::StreamSettings s;
  s.previewPin = false;
  s.dropEvery = 10;
  ASSERT_TRUE(z9bench::SetStreamSettings(s));
  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  EXPECT_TRUE(boxes.Texts().empty());
  HWND video = GetWindow(GetDlgItem(Dialog(), 1006), GW_CHILD);
  ASSERT_NE(video, nullptr);
  double delivered = 0, dropped = 0;
  wintest::WaitUntil(
      [&] { return std::sscanf(StatusText(1).c_str(), "%lf %lf", &delivered, &dropped) == 2 && delivered > 10; },
      5000);
  EXPECT_GT(delivered, 10.0) << StatusText(1);
  EXPECT_LT(delivered, 45.0) << StatusText(1);
  EXPECT_GT(dropped, 0.5) << StatusText(1);
  EXPECT_LT(dropped, 6.0) << StatusText(1);
}

// Freezing stops the frames (the capture pin's counts stand still) and
// resuming starts them again; a still works while frozen.
TEST_F(Preview, FreezeAndResumeWithACaptureWhileFrozen) {
  z9bench::StreamSettings s;
  s.previewPin = false;  // the counters are the capture pin's
  ASSERT_TRUE(z9bench::SetStreamSettings(s));
  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  wintest::WaitUntil([&] { return DeliveredRate() > 10; }, 5000);
  ASSERT_GT(DeliveredRate(), 10.0) << StatusText(1);
  Click(1001);
  EXPECT_EQ(wintest::WindowText(GetDlgItem(Dialog(), 1001)), "&Resume");
  EXPECT_EQ(TipText(1001), "Resume Camera");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(Dialog(), 1002)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Dialog(), 1000)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Dialog(), 1030)));
  wintest::PumpFor(2300);  // the first tick may still count frames from before
  EXPECT_EQ(DeliveredRate(), 0.0) << "frames while frozen: " << StatusText(1);
  // A still is a request of its own: it works while frozen.
  Events().clear();
  Click(1000);
  ASSERT_EQ(Events().size(), 2u);
  EXPECT_EQ(Events()[0].code, 0u);
  EXPECT_EQ(Events()[1].code, 2u);
  EXPECT_EQ(Events()[1].dib.size(), 921640u);
  Click(1001);
  EXPECT_EQ(wintest::WindowText(GetDlgItem(Dialog(), 1001)), "&Freeze");
  EXPECT_EQ(TipText(1001), "Pause Camera");
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Dialog(), 1002)));
  wintest::WaitUntil([&] { return DeliveredRate() > 10; }, 5000);
  EXPECT_GT(DeliveredRate(), 10.0) << "no frames after resuming: " << StatusText(1);
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(Preview, EveryStillFormatAndSizeCodeReachesTheHostAsTheLibraryMakesIt) {
  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  struct Case {
    uint8_t format, sizeCode;
    uint32_t width, height;
    size_t payload;
  };
  const Case cases[] = {
      {z9::STICAP_YUY2, 0, 640, 480, 640 * 480 * 2},  {z9::STICAP_UYVY, 0, 640, 480, 640 * 480 * 2},
      {z9::STICAP_I420, 0, 640, 480, 640 * 480 * 3 / 2}, {z9::STICAP_RGB, 0, 640, 480, 640 * 480 * 3},
      {z9::STICAP_YUY2, 101, 640, 480, 640 * 480 * 2}, {z9::STICAP_I420, 102, 640, 480, 640 * 480 * 3 / 2},
      {z9::STICAP_YUY2, 103, 640, 480, 640 * 480 * 2}, {z9::STICAP_YUY2, 0, 320, 240, 320 * 240 * 2},
  };
  uint32_t seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << int(c.format) << " code " << int(c.sizeCode));
    std::vector<uint8_t> payload(c.payload);
    for (uint8_t& b : payload) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
    UploadSticky(c.format, c.width, c.height, c.sizeCode, payload);
    Events().clear();
    Click(1000);
    ASSERT_EQ(Events().size(), 2u);
    uint32_t w = 0, h = 0;
    const std::vector<uint8_t> expected = ExpectedDib(&w, &h);
    const HostEvent& info = Events()[0];
    EXPECT_EQ(info.info[0] | (info.info[1] << 8), static_cast<int>(w));
    EXPECT_EQ(info.info[2] | (info.info[3] << 8), static_cast<int>(h));
    EXPECT_EQ(info.info[13], 0);  // the stream's size code, not the still's
    EXPECT_EQ(Events()[1].dib.size(), expected.size());
    EXPECT_TRUE(Events()[1].dib == expected);
    if (c.sizeCode == 101) {
      EXPECT_EQ(Events()[1].dib.size(), 1440040u);
    }
  }
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(Preview, StatusFaultsShowTheirMessageAndTheNextCaptureWorks) {
  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  const char* texts[] = {"ERROR 736:9791", "Error! Device busy, please try again!", "Error! Out of memory!",
                         "Error! Stream is stop, please start preview windows!", "ERROR 754:9791"};
  for (int status = 1; status <= 5; ++status) {
    SCOPED_TRACE(status);
    ASSERT_TRUE(bench_.AddFault(z9bench::MakeFault(Z9B_KIND_STILL, Z9B_FAULT_VALUE, status, 1)));
    boxes.Clear();
    Events().clear();
    Click(1000);
    wintest::WaitUntil([&] { return !boxes.Texts().empty(); }, 3000);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{texts[status - 1]}));
    EXPECT_TRUE(Events().empty());
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Dialog(), 1000)));
  }
  Events().clear();
  Click(1000);
  ASSERT_EQ(Events().size(), 2u);
  EXPECT_EQ(Events()[1].code, 2u);

  // A failed request: both boxes, in order.
  ASSERT_TRUE(bench_.AddFault(z9bench::MakeFault(Z9B_KIND_STILL, Z9B_FAULT_FAIL, 0, 1)));
  boxes.Clear();
  Events().clear();
  Click(1000);
  wintest::WaitUntil([&] { return boxes.Texts().size() >= 2; }, 3000);
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"ERROR 1641:9791", "ERROR 724:9791"}));
  EXPECT_TRUE(Events().empty());
}

TEST_F(Preview, ModeChangesTheFormatLayoutAndImageInfo) {
  for (bool previewPin : {true, false}) {
    SCOPED_TRACE(previewPin ? "preview pin" : "capture pin only");
    z9bench::StreamSettings s;
    s.previewPin = previewPin;
    ASSERT_TRUE(z9bench::SetStreamSettings(s));
    BoxAnswerer boxes;
    Create();
    ASSERT_NE(Dialog(), nullptr);
    Events().clear();
    const uint32_t sizeQueries = Requests(Z9B_KIND_STILL_SIZE);
    ASSERT_TRUE(PickFormat(2));  // RGB24 320 x 240
    EXPECT_EQ(Requests(Z9B_KIND_STILL_SIZE), sizeQueries + 1) << "the still buffer size is asked again";
    const std::vector<HostEvent> infos = Infos();
    ASSERT_EQ(infos.size(), 1u);
    EXPECT_EQ(infos[0].info[0] | (infos[0].info[1] << 8), 320);
    EXPECT_EQ(infos[0].info[2] | (infos[0].info[3] << 8), 240);
    EXPECT_EQ(infos[0].info[13], 1);
    RECT d = {};
    GetWindowRect(Dialog(), &d);
    EXPECT_EQ(d.right - d.left, 488);
    EXPECT_EQ(d.bottom - d.top, 342);
    const RECT pane = ClientRectOf(1006);
    EXPECT_EQ(pane.left, 76);
    EXPECT_EQ(pane.right - pane.left, 330);
    EXPECT_EQ(ClientRectOf(1000).left, 23);
    EXPECT_EQ(StatusText(0), "Image Size: 320x240");
    ExpectVideoFillsPane();
    // The still buffer follows: a capture still works.
    Events().clear();
    Click(1000);
    EXPECT_EQ(Events().size(), 2u);
    EXPECT_TRUE(boxes.Texts().empty());
    Remove();
  }
}

TEST_F(Preview, CameraListVariations) {
  std::string error;
  // A device with the camera's name but another class id is skipped.
  ASSERT_TRUE(z9bench::AddOtherClassVideoInput(&error)) << error;
  {
    BoxAnswerer boxes;
    Create();
    EXPECT_TRUE(boxes.Texts().empty());
    EXPECT_EQ(Infos().size(), 1u);
    Remove();
  }
  // No camera at all.
  z9bench::RemoveVideoInputs();
  {
    BoxAnswerer boxes;
    Events().clear();
    Create();
    const std::vector<std::string> texts = boxes.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0] == "ERROR 345:9791" || texts[0] == "ERROR 278:9791") << texts[0];
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].code, 3u);
    Remove();
  }
  // The camera without "FriendlyName" in its device entry is not found by name.
  ASSERT_TRUE(z9bench::ResetVideoInputs(&error)) << error;
  ASSERT_TRUE(z9bench::RemoveCameraFriendlyName(&error)) << error;
  {
    BoxAnswerer boxes;
    Events().clear();
    Create();
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"ERROR 345:9791"}));
    Remove();
  }
}

}  // namespace
}  // namespace twntest

namespace twntest {
namespace {

using HresultFn = HRESULT(WINAPI*)();

// "&Property": the capture filter's pages (those of Z9100Dex among them) in a
// modal frame; a capture command meanwhile is ignored.
TEST_F(Preview, PropertyFrameShowsTheCameraPagesAndBlocksCapture) {
  HMODULE dex = LoadLibraryA((wintest::ExeDir() + "\\Z9100Dex.dll").c_str());
  if (dex == nullptr) GTEST_SKIP() << "Z9100Dex.dll is not part of this build";
  auto registerServer = reinterpret_cast<HresultFn>(GetProcAddress(dex, "DllRegisterServer"));
  auto unregisterServer = reinterpret_cast<HresultFn>(GetProcAddress(dex, "DllUnregisterServer"));
  ASSERT_TRUE(registerServer != nullptr && unregisterServer != nullptr);
  ASSERT_EQ(registerServer(), S_OK);

  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  Events().clear();
  std::atomic<bool> seen{false};
  std::vector<std::string> tabs;
  HWND dialog = Dialog();
  wintest::Thread helper([&] {
    for (int attempt = 0; attempt < 200 && !seen; ++attempt) {
      Sleep(50);
      for (HWND frame : wintest::WindowsOfProcess(GetCurrentProcessId(), "#32770")) {
        if (frame == dialog || !IsWindowVisible(frame)) continue;
        HWND tab = wintest::FindChildByClass(frame, WC_TABCONTROLA);
        if (tab == nullptr) continue;
        Sleep(300);
        const int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
          char text[128] = {};
          TCITEMA item = {};
          item.mask = TCIF_TEXT;
          item.pszText = text;
          item.cchTextMax = sizeof text;
          SendMessageA(tab, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
          tabs.push_back(text);
        }
        // The monitor's forwarded press arrives while the frame is open.
        PostMessageA(dialog, WM_COMMAND, 1000, 0);
        Sleep(500);
        SendMessageA(frame, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        Sleep(300);
        if (IsWindow(frame)) PostMessageA(frame, WM_COMMAND, IDCANCEL, 0);
        seen = true;
        break;
      }
    }
  });
  PostMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(1030, BN_CLICKED), 0);
  wintest::WaitUntil([&] { return seen.load(); }, 12000);
  helper.Join();
  wintest::PumpFor(500);
  EXPECT_TRUE(seen);
  EXPECT_NE(std::find(tabs.begin(), tabs.end(), "Video Proc Amp"), tabs.end()) << tabs.size();
  EXPECT_TRUE(Events().empty());  // the capture during the frame was ignored
  // Afterwards a capture works again.
  Click(1000);
  EXPECT_EQ(Events().size(), 2u);
  EXPECT_TRUE(boxes.Texts().empty());
  Remove();
  dialog_ = nullptr;
  unregisterServer();
  FreeLibrary(dex);
}

}  // namespace
}  // namespace twntest

namespace twntest {
namespace {

// Texts of section "Grabdlg": buttons, the status bar and the boxes' caption.
TEST_F(Preview, LanguageFileTextsInTheDialog) {
  const std::string dir = wintest::WindowsDir() + "\\z9twn_dialog_lang";
  const std::string file = dir + "\\LG1031.dat";
  wintest::MakeDirs(dir);
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, "Software\\RidEva\\Z9100", "LangFilePath", dir));
  ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, "Software\\RidEva\\Z9100", "MultiLangID", 1031));
  const char* entries[][2] = {{"DlgString3", "&Aufnehmen"}, {"DlgString4", "&Modus"},   {"DlgString5", "&Anhalten"},
                              {"DlgString6", "&Weiter"},    {"DlgString7", "&Eigenschaften"}, {"DlgString16", "&Ende"},
                              {"DlgString17", "Bildgroesse"}, {"MsgCaption0", "Fehler"},
                              {"MsgString7", "Kamera belegt"}};
  for (const auto& e : entries) ASSERT_TRUE(wintest::IniWrite(file, "Grabdlg", e[0], e[1]));
  {
    BoxAnswerer boxes("Fehler");
    Create();
    ASSERT_NE(Dialog(), nullptr);
    EXPECT_EQ(wintest::WindowText(GetDlgItem(Dialog(), 1000)), "&Aufnehmen");
    EXPECT_EQ(wintest::WindowText(GetDlgItem(Dialog(), 1002)), "&Modus");
    EXPECT_EQ(wintest::WindowText(GetDlgItem(Dialog(), 1001)), "&Anhalten");
    EXPECT_EQ(wintest::WindowText(GetDlgItem(Dialog(), 1030)), "&Eigenschaften");
    EXPECT_EQ(wintest::WindowText(GetDlgItem(Dialog(), 1)), "&Ende");
    EXPECT_EQ(StatusText(0), "Bildgroesse: 640x480");
    Click(1001);
    EXPECT_EQ(wintest::WindowText(GetDlgItem(Dialog(), 1001)), "&Weiter");
    Click(1001);
    // The boxes carry the loaded caption.
    ASSERT_TRUE(bench_.AddFault(z9bench::MakeFault(Z9B_KIND_STILL, Z9B_FAULT_VALUE, 2, 1)));
    Click(1000);
    wintest::WaitUntil([&] { return !boxes.Texts().empty(); }, 3000);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Kamera belegt"}));
    Remove();
    dialog_ = nullptr;
  }
  wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, "Software\\RidEva\\Z9100", "LangFilePath");
  wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, "Software\\RidEva\\Z9100", "MultiLangID");
  wintest::DeleteFileIfAny(file);
}

}  // namespace
}  // namespace twntest

namespace twntest {
namespace {

// Every stream format of the bench camera through "&Mode": the ImageInfo's
// format and size codes, and the layout each size selects.
TEST_F(Preview, EveryStreamFormatGivesItsCodesAndLayout) {
  struct Row {
    int index;  // capability of the bench's format page
    int width, height, formatCode, sizeCode;
    int dialogWidth, dialogHeight, paneX, paneWidth, paneHeight;
  };
  const Row rows[] = {
      {1, 352, 288, 0, 2, 440, 390, 36, 362, 298},  {3, 176, 144, 0, 3, 400, 246, 96, 186, 154},
      {4, 160, 120, 0, 4, 400, 220, 106, 170, 130}, {5, 1280, 960, 0, 0, 674, 580, 7, 650, 490},
      {6, 640, 480, 2, 0, 674, 580, 7, 650, 490},   {8, 640, 480, 1, 0, 674, 580, 7, 650, 490},
      {9, 640, 480, 3, 0, 674, 580, 7, 650, 490},   {10, 640, 480, 4, 0, 674, 580, 7, 650, 490},
      {11, 320, 240, 5, 1, 488, 342, 76, 330, 250},
  };
  // Without a preview pin "&Mode" takes the preview down first, so that the
  // capture pin is free to change to any format.
  z9bench::StreamSettings s;
  s.previewPin = false;
  ASSERT_TRUE(z9bench::SetStreamSettings(s));
  BoxAnswerer boxes;  // formats Wine's renderer cannot show give "ERROR 466:9791"
  Create();
  ASSERT_NE(Dialog(), nullptr);
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "capability " << r.index);
    Events().clear();
    ASSERT_TRUE(PickFormat(r.index));
    const std::vector<HostEvent> infos = Infos();
    ASSERT_EQ(infos.size(), 1u);
    const std::vector<uint8_t>& b = infos[0].info;
    EXPECT_EQ(b[0] | (b[1] << 8), r.width);
    EXPECT_EQ(b[2] | (b[3] << 8), r.height);
    EXPECT_EQ(b[4], 2);
    EXPECT_EQ(b[12], r.formatCode);
    EXPECT_EQ(b[13], r.sizeCode);
    RECT d = {};
    GetWindowRect(Dialog(), &d);
    EXPECT_EQ(d.right - d.left, r.dialogWidth);
    EXPECT_EQ(d.bottom - d.top, r.dialogHeight);
    const RECT pane = ClientRectOf(1006);
    EXPECT_EQ(pane.left, r.paneX);
    EXPECT_EQ(pane.top, 37);
    EXPECT_EQ(pane.right - pane.left, r.paneWidth);
    EXPECT_EQ(pane.bottom - pane.top, r.paneHeight);
    EXPECT_EQ(ClientRectOf(1).left, r.width >= 640 ? 300 : 311);
    if (r.formatCode == 0) ExpectVideoFillsPane();  // Wine's renderer shows RGB only
  }
}

}  // namespace
}  // namespace twntest

namespace twntest {
namespace {

// Failures of the camera's stream interfaces at the start.
TEST_F(Preview, StreamInterfaceFailuresAtTheStart) {
  struct Case {
    uint32_t fault;
    const char* box;  // nullptr: none
    bool startFails;
    int rate, width;
  };
  const Case cases[] = {
      {Z9B_STREAM_FAIL_SETFORMAT, "Cannot set frame rate for preview!", false, 30, 640},
      {Z9B_STREAM_FAIL_GETFORMAT, "Can not get default video stream format!", false, 30, 0},
      {Z9B_STREAM_NO_DROPPED_FRAMES, "Cannot preview !", true, 0, 0},
      // Wine's graph reports a filter that refuses to run only from GetState.
      {Z9B_STREAM_FAIL_RUN, "Cannot preview !", false, 30, 640},
      {Z9B_STREAM_ZERO_FRAME_TIME, nullptr, false, 30, 640},  // no rate from it: the previous one stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "fault " << c.fault);
    z9bench::StreamSettings s;
    s.faults = c.fault;
    ASSERT_TRUE(z9bench::SetStreamSettings(s));
    BoxAnswerer boxes;
    Events().clear();
    Create();
    ASSERT_NE(Dialog(), nullptr);
    wintest::PumpFor(300);
    const std::vector<std::string> texts = boxes.Texts();
    if (c.box == nullptr) {
      EXPECT_TRUE(texts.empty());
    } else {
      ASSERT_FALSE(texts.empty());
      EXPECT_EQ(texts[0], c.box);
    }
    if (c.startFails) {
      ASSERT_EQ(Events().size(), 1u);
      EXPECT_EQ(Events()[0].code, 3u);
    } else {
      const std::vector<HostEvent> infos = Infos();
      ASSERT_EQ(infos.size(), 1u);
      EXPECT_EQ(infos[0].info[0] | (infos[0].info[1] << 8), c.width);
      EXPECT_EQ(infos[0].info[8], c.rate);
      EXPECT_TRUE(IsWindow(Dialog()));
    }
    Remove();
    dialog_ = nullptr;
  }
}

}  // namespace
}  // namespace twntest

namespace twntest {
namespace {

// While a capture's error box is open (it has no owner, so the dialog stays
// usable) the capture is still running: a forwarded press starts no second
// one, "&Property" leaves the capture's busy flag set when its frame closes,
// and "&Mode" and "&Freeze" wait (they would replace the still buffer under
// the capture).
TEST_F(Preview, CommandsDuringACapturesErrorBoxAreIgnored) {
  const struct {
    const char* name;
    std::vector<int> commands;
  } rows[] = {{"press", {1000}}, {"property, then a press", {1030, 1000}}, {"mode", {1002}}, {"freeze", {1001}}};
  HMODULE dex = LoadLibraryA((wintest::ExeDir() + "\\Z9100Dex.dll").c_str());
  if (dex == nullptr) GTEST_SKIP() << "Z9100Dex.dll is not part of this build";
  auto registerServer = reinterpret_cast<HRESULT(WINAPI*)()>(GetProcAddress(dex, "DllRegisterServer"));
  auto unregisterServer = reinterpret_cast<HRESULT(WINAPI*)()>(GetProcAddress(dex, "DllUnregisterServer"));
  ASSERT_TRUE(registerServer != nullptr && unregisterServer != nullptr);
  ASSERT_EQ(registerServer(), S_OK);
  Create();
  ASSERT_NE(Dialog(), nullptr);
  const HWND dialog = Dialog();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const uint32_t stills = Requests(Z9B_KIND_STILL);
    const uint32_t sizeQueries = Requests(Z9B_KIND_STILL_SIZE);
    // The first still answers "busy"; a second capture would get a picture.
    ASSERT_TRUE(bench_.AddFault(z9bench::MakeFault(Z9B_KIND_STILL, Z9B_FAULT_VALUE, 2, 1)));
    Events().clear();
    std::string boxText;
    std::atomic<bool> clicked{false};
    wintest::Thread helper([&] {
      HWND box = nullptr;
      for (int i = 0; i < 250 && box == nullptr; ++i) {
        Sleep(20);
        box = wintest::FindDialogBox("Error", GetCurrentProcessId());
      }
      if (box == nullptr) return;
      // Closes the frames a command opened; true when there was one.
      auto closeFrames = [&] {
        bool closed = false;
        for (HWND frame : wintest::WindowsOfProcess(GetCurrentProcessId(), "#32770")) {
          if (frame == dialog || frame == box || !IsWindowVisible(frame)) continue;
          SendMessageA(frame, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
          Sleep(300);
          if (IsWindow(frame)) PostMessageA(frame, WM_COMMAND, IDCANCEL, 0);
          closed = true;
        }
        return closed;
      };
      for (int command : row.commands) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
        // The camera's pages open whatever the flag; the others should not.
        const int steps = command == 1030 ? 200 : 20;
        for (int i = 0; i < steps && !closeFrames(); ++i) Sleep(50);
      }
      boxText = wintest::DialogText(box);
      wintest::PressDialogButton(box, IDOK);
      // A frame that opened late would hold the capture: closed too.
      for (int i = 0; i < 300 && !clicked; ++i) {
        closeFrames();
        Sleep(50);
      }
    });
    Click(1000);  // returns once the box is answered
    clicked = true;
    helper.Join();
    wintest::PumpFor(300);
    EXPECT_EQ(boxText, "Error! Device busy, please try again!");
    EXPECT_TRUE(Events().empty()) << "a second capture ran under the first one's box";
    EXPECT_EQ(Requests(Z9B_KIND_STILL), stills + 1);
    EXPECT_EQ(Requests(Z9B_KIND_STILL_SIZE), sizeQueries) << "the still buffer was replaced during the capture";
    EXPECT_EQ(wintest::WindowText(GetDlgItem(dialog, 1001)), "&Freeze");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 1002)));
    // The capture is over: the next one runs.
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 1000)));
    Click(1000);
    EXPECT_EQ(Events().size(), 2u);
  }
  Remove();
  dialog_ = nullptr;
  unregisterServer();
  FreeLibrary(dex);
}

// The largest snapshot the pages offer: the bench announces a still buffer
// for 2560 x 2048 in 24 bits and answers with a motion-JPEG still of that
// size, which reaches the host whole.
TEST_F(Preview, LargestSnapshotReachesTheHostWhole) {
  std::string jpeg;
  ASSERT_TRUE(wintest::ReadFileBytes(std::string(Z9_CAPTURE_TEST_DATA) + "\\still_2560x2048.jpg", &jpeg));
  Z9B_STILL_CONFIG config = {};
  ASSERT_TRUE(bench_.GetStillConfig(&config));
  config.bufferSize = 2560 * 2048 * 3;
  ASSERT_TRUE(bench_.SetStillConfig(config));
  UploadSticky(z9::STICAP_MJPG, 2560, 2048, 0, std::vector<uint8_t>(jpeg.begin(), jpeg.end()));
  BoxAnswerer boxes;
  Create();
  ASSERT_NE(Dialog(), nullptr);
  Events().clear();
  Click(1000);
  EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];
  ASSERT_EQ(Events().size(), 2u);
  uint32_t w = 0, h = 0;
  const std::vector<uint8_t> expected = ExpectedDib(&w, &h);
  const std::vector<uint8_t>& info = Events()[0].info;
  EXPECT_EQ(info[0] | (info[1] << 8), 2560);
  EXPECT_EQ(info[2] | (info[3] << 8), 2048);
  EXPECT_EQ(Events()[1].dib.size(), 2560u * 2048 * 3 + 40);
  EXPECT_TRUE(Events()[1].dib == expected);
}

// The host window destroyed before RemoveUIDlg takes the dialog's window
// with it: the camera is let go then, and neither the later RemoveUIDlg nor
// a new CreateUIDlg touches what the old dialog held.
TEST_F(Preview, HostWindowDestroyedBeforeRemoval) {
  BoxAnswerer boxes;
  Create();
  const HWND old = Dialog();
  ASSERT_NE(old, nullptr);
  wintest::PumpFor(300);
  DestroyWindow(host_);
  EXPECT_FALSE(IsWindow(old));
  wintest::PumpFor(300);
  Z9B_COUNTERS c = {};
  ASSERT_TRUE(bench_.GetCounters(&c));
  EXPECT_GT(c.opens, 0u);
  EXPECT_EQ(c.closes, c.opens) << "the camera is still held by a dialog without a window";

  host_ = CreateWindowExA(0, "Z9TestTwainHost", "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                          GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(host_, nullptr);
  Posts().clear();
  EXPECT_NE(Remove(), 0);
  ASSERT_EQ(Posts().size(), 1u);
  EXPECT_EQ(Posts()[0].wParam, InactiveMessage());
  EXPECT_TRUE(IsWindow(host_));
  // A new dialog on the new host works as the first did.
  Events().clear();
  Create();
  ASSERT_NE(Dialog(), nullptr);
  EXPECT_EQ(Infos().size(), 1u);
  ExpectVideoFillsPane();
  Click(1000);
  EXPECT_EQ(Events().size(), 3u);
  EXPECT_TRUE(boxes.Texts().empty());
  Remove();
  dialog_ = nullptr;
}

}  // namespace
}  // namespace twntest
