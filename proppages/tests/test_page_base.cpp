// The IPropertyPage behaviour all pages share, on a page class of the test's
// own (its dialog and title live in the test program): site, objects, dirty
// flag, dialog lifetime, size, message routing, keyboard navigation.
#include "dex_test_support.h"

#include <commctrl.h>

#include "dialog_size.h"
#include "page_base.h"
#include "resource_strings.h"

using namespace dextest;

namespace {

constexpr UINT kDialog = 500;
constexpr UINT kDialogEx = 520;
constexpr UINT kTitle = 510;
const CLSID kTestClsid = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

class TestPage : public z9::PageBase {
 public:
  explicit TestPage(UINT dialog = kDialog, UINT help = 0) : PageBase(kTestClsid, dialog, kTitle, help, 0) {}

  BOOL OnInitDialog() override {
    ++inits;
    dialogAtInit = Dialog();
    return TRUE;
  }
  BOOL OnCommand(WORD id, WORD code, HWND) override {
    commands.push_back(id);
    lastCode = code;
    return TRUE;
  }
  BOOL OnHScroll(WORD code, WORD thumb, HWND control) override {
    scrollCode = code;
    scrollThumb = thumb;
    scrollControl = control;
    return TRUE;
  }
  BOOL OnNotify(NMHDR* hdr, LRESULT* result) override {
    notifiedCode = hdr->code;
    *result = 1234;
    return TRUE;
  }
  BOOL HandleOther(UINT msg, WPARAM wp, LPARAM, INT_PTR* result) override {
    if (msg != WM_TIMER) return FALSE;
    timers.push_back(static_cast<UINT>(wp));
    *result = 0;
    return TRUE;
  }
  void OnDestroy() override {
    ++destroys;
    controlAliveAtDestroy = GetDlgItem(Dialog(), 501) != nullptr;
  }
  void OnApply() override {
    ++applies;
    dirtyAtApply = Dirty();
  }
  void MarkDirty(bool d) { SetDirty(d); }

  int inits = 0, destroys = 0, applies = 0;
  HWND dialogAtInit = nullptr;
  bool controlAliveAtDestroy = false;
  bool dirtyAtApply = false;
  std::vector<WORD> commands;
  WORD lastCode = 0;
  WORD scrollCode = 0xFFFF, scrollThumb = 0;
  HWND scrollControl = nullptr;
  UINT notifiedCode = 0;
  std::vector<UINT> timers;
};

class PageBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(com.ok());
    z9::SetModuleInstance(GetModuleHandleA(nullptr));
    ASSERT_NE(host.get(), nullptr);
    locksBefore = z9::ModuleLockCount();
  }
  void TearDown() override { EXPECT_EQ(z9::ModuleLockCount(), locksBefore) << "a page object was left alive"; }

  RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

  ComScope com;
  HostWindow host;
  LONG locksBefore = 0;
};

TEST_F(PageBaseTest, ActivateCreatesTheChildDialogAndDeactivateDestroysIt) {
  auto* page = new TestPage();
  EXPECT_EQ(z9::ModuleLockCount(), locksBefore + 1) << "a live page locks the module";
  EXPECT_EQ(page->Activate(host.get(), nullptr, FALSE), E_POINTER);
  EXPECT_EQ(page->Show(SW_SHOW), E_UNEXPECTED);

  RECT r = Rect(12, 34, 300, 200);
  ASSERT_EQ(page->Activate(host.get(), &r, FALSE), S_OK);
  HWND dlg = page->Dialog();
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(page->inits, 1);
  EXPECT_EQ(page->dialogAtInit, dlg) << "Dialog() is valid during initialisation";
  EXPECT_EQ(GetParent(dlg), host.get());
  EXPECT_TRUE(GetWindowLongA(dlg, GWL_STYLE) & WS_CHILD);
  EXPECT_EQ(page->Activate(host.get(), &r, FALSE), E_UNEXPECTED) << "a second dialog would be orphaned";

  RECT placed;
  GetWindowRect(dlg, &placed);
  MapWindowPoints(nullptr, host.get(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 12);
  EXPECT_EQ(placed.top, 34);
  EXPECT_EQ(placed.right - placed.left, 300);
  EXPECT_EQ(placed.bottom - placed.top, 200);

  EXPECT_FALSE(IsWindowVisible(dlg));
  EXPECT_EQ(page->Show(SW_SHOW), S_OK);
  EXPECT_TRUE(IsWindowVisible(dlg));
  RECT moved = Rect(5, 6, 100, 80);
  EXPECT_EQ(page->Move(&moved), S_OK);
  GetWindowRect(dlg, &placed);
  MapWindowPoints(nullptr, host.get(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 5);
  EXPECT_EQ(placed.right - placed.left, 100);
  EXPECT_EQ(page->Move(nullptr), E_POINTER);

  EXPECT_EQ(page->Deactivate(), S_OK);
  EXPECT_FALSE(IsWindow(dlg));
  EXPECT_EQ(page->Dialog(), nullptr);
  EXPECT_EQ(page->destroys, 1);
  EXPECT_TRUE(page->controlAliveAtDestroy) << "OnDestroy runs while the controls exist";
  EXPECT_EQ(page->Deactivate(), S_OK) << "nothing left to destroy";

  // Activate again after Deactivate.
  ASSERT_EQ(page->Activate(host.get(), &r, FALSE), S_OK);
  EXPECT_EQ(page->inits, 2);
  EXPECT_EQ(page->Release(), 0u);
}

TEST_F(PageBaseTest, ReleasingAnActivePageDestroysItsDialogQuietly) {
  auto* page = new TestPage();
  RECT r = Rect(0, 0, 200, 100);
  ASSERT_EQ(page->Activate(host.get(), &r, FALSE), S_OK);
  HWND dlg = page->Dialog();
  EXPECT_EQ(page->Release(), 0u);
  EXPECT_FALSE(IsWindow(dlg));
}

TEST_F(PageBaseTest, AParentDestroyingTheDialogLeavesThePageUsable) {
  auto* page = new TestPage();
  RECT r = Rect(0, 0, 200, 100);
  ASSERT_EQ(page->Activate(host.get(), &r, FALSE), S_OK);
  DestroyWindow(page->Dialog());
  EXPECT_EQ(page->destroys, 1);
  EXPECT_EQ(page->Dialog(), nullptr);
  EXPECT_EQ(page->Show(SW_SHOW), E_UNEXPECTED);
  EXPECT_EQ(page->Deactivate(), S_OK);
  EXPECT_EQ(page->Release(), 0u);
}

TEST_F(PageBaseTest, PageInfoGivesTitleAndTheTemplateSizeInPixels) {
  for (UINT id : {kDialog, kDialogEx}) {
    SCOPED_TRACE(id);
    auto* page = new TestPage(id);
    EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);
    PROPPAGEINFO info = {};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.cb, sizeof(PROPPAGEINFO));
    if (sizeof(void*) == 4) {
      EXPECT_EQ(info.cb, 28u);
    }
    ASSERT_NE(info.pszTitle, nullptr);
    EXPECT_STREQ(info.pszTitle, L"Test Page");
    EXPECT_EQ(info.pszHelpFile, nullptr);
    EXPECT_EQ(info.pszDocString, nullptr);
    EXPECT_EQ(info.dwHelpContext, 0u);
    CoTaskMemFree(info.pszTitle);

    // The dialog manager's own conversion of the same template.
    RECT r = Rect(0, 0, 10, 10);
    ASSERT_EQ(page->Activate(host.get(), &r, FALSE), S_OK);
    RECT units = {0, 0, id == kDialog ? 200 : 150, id == kDialog ? 100 : 80};
    MapDialogRect(page->Dialog(), &units);
    EXPECT_NEAR(info.size.cx, units.right, 1);
    EXPECT_NEAR(info.size.cy, units.bottom, 1);
    EXPECT_GT(info.size.cx, 150);
    page->Release();
  }
  auto* missing = new TestPage(999);
  PROPPAGEINFO info = {};
  EXPECT_EQ(missing->GetPageInfo(&info), E_UNEXPECTED);
  RECT r = Rect(0, 0, 10, 10);
  EXPECT_EQ(missing->Activate(host.get(), &r, FALSE), E_FAIL);
  missing->Release();
}

TEST_F(PageBaseTest, TitlesComeFromTheStringTableUnchangedInAnyScript) {
  // Japanese: no ANSI code page of a Western system holds it.
  struct JapaneseTitlePage : z9::PageBase {
    JapaneseTitlePage() : PageBase(kTestClsid, kDialog, 511) {}
  };
  auto* page = new JapaneseTitlePage();
  PROPPAGEINFO info = {};
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  ASSERT_NE(info.pszTitle, nullptr);
  EXPECT_EQ(std::wstring(info.pszTitle), Wide("テストページ"));
  CoTaskMemFree(info.pszTitle);
  page->Release();
}

TEST_F(PageBaseTest, StringTableReaderFindsEachSlotOfABlockAndNothingElse) {
  const HINSTANCE self = GetModuleHandleA(nullptr);
  auto read = [&](UINT id) {
    const WCHAR* text = nullptr;
    int length = -1;
    if (!z9::FindResourceString(self, id, &text, &length)) {
      EXPECT_EQ(text, nullptr) << id;
      EXPECT_EQ(length, 0) << id;
      return std::wstring(L"<none>");
    }
    return std::wstring(text, static_cast<size_t>(length));
  };
  EXPECT_EQ(read(kTitle), L"Test Page");
  EXPECT_EQ(read(511), Wide("テストページ")) << "the last slot of block 32";
  EXPECT_EQ(read(512), L"first of its block");
  EXPECT_EQ(read(527), Wide("last of its block, Привет"));
  EXPECT_EQ(read(528), L"x") << "a block with one string";
  EXPECT_EQ(read(513), L"<none>") << "an empty slot of an existing block";
  EXPECT_EQ(read(529), L"<none>") << "an empty slot of a one-string block";
  EXPECT_EQ(read(4000), L"<none>") << "a block that does not exist";
  EXPECT_EQ(read(0x10000 + kTitle), L"<none>") << "string ids are 16 bits";
  const WCHAR* text = nullptr;
  int length = 0;
  EXPECT_FALSE(z9::FindResourceString(nullptr, kTitle, &text, &length));
  EXPECT_FALSE(z9::FindResourceString(self, kTitle, nullptr, &length));

  // The task-memory copy ends with a zero.
  LPOLESTR copy = z9::ResourceTaskString(self, 527);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::wstring(copy), Wide("last of its block, Привет"));
  CoTaskMemFree(copy);
  EXPECT_EQ(z9::ResourceTaskString(self, 0), nullptr);
  EXPECT_EQ(z9::ResourceTaskString(self, 513), nullptr);
}

TEST_F(PageBaseTest, WithoutASetModuleThePagesUseTheImageThatHoldsThem) {
  z9::SetModuleInstance(nullptr);
  EXPECT_EQ(z9::ModuleInstance(), GetModuleHandleA(nullptr)) << "the test program links the pages in";
  // Resources are found there.
  auto* page = new TestPage();
  PROPPAGEINFO info = {};
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  ASSERT_NE(info.pszTitle, nullptr);
  EXPECT_STREQ(info.pszTitle, L"Test Page");
  CoTaskMemFree(info.pszTitle);
  page->Release();
}

TEST_F(PageBaseTest, TemplateParserRefusesCutTemplates) {
  HRSRC found = FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kDialogEx), reinterpret_cast<LPCSTR>(RT_DIALOG));
  ASSERT_NE(found, nullptr);
  const void* data = LockResource(LoadResource(GetModuleHandleA(nullptr), found));
  const DWORD size = SizeofResource(GetModuleHandleA(nullptr), found);
  z9::DialogTemplateInfo info;
  ASSERT_TRUE(z9::ParseDialogTemplate(data, size, &info));
  EXPECT_EQ(info.cx, 150);
  EXPECT_EQ(info.cy, 80);
  EXPECT_TRUE(info.hasFont);
  EXPECT_EQ(info.pointSize, 10);
  EXPECT_EQ(info.weight, 700);
  EXPECT_EQ(info.italic, 1);
  EXPECT_STREQ(info.faceName, L"Tahoma");
  // Every cut before the end of the font name fails cleanly.
  const size_t headerEnd = 26 + 2 * 3 + 2 + 2 + 2 + 2 * 7;  // through the font face
  for (size_t cut = 0; cut < headerEnd; ++cut) EXPECT_FALSE(z9::ParseDialogTemplate(data, cut, &info)) << cut;
  EXPECT_FALSE(z9::ParseDialogTemplate(nullptr, size, &info));
}

TEST_F(PageBaseTest, SetObjectsHoldsEachObjectAndNeverTakesAnImpossibleCount) {
  auto* page = new TestPage();
  CountingUnknown a, b;
  IUnknown* two[] = {&a, &b};
  EXPECT_EQ(page->SetObjects(2, nullptr), E_POINTER);
  ASSERT_EQ(page->SetObjects(2, two), S_OK);
  EXPECT_EQ(page->ObjectCount(), 2u);
  EXPECT_EQ(page->Object(0), &a);
  EXPECT_EQ(page->Object(1), &b);
  EXPECT_EQ(page->Object(2), nullptr);
  EXPECT_EQ(a.refs, 2);
  EXPECT_EQ(b.refs, 2);

  // A new array releases the old one.
  IUnknown* one[] = {&b};
  ASSERT_EQ(page->SetObjects(1, one), S_OK);
  EXPECT_EQ(a.refs, 1);
  EXPECT_EQ(b.refs, 2);

  // A null entry is kept as none.
  IUnknown* withNull[] = {nullptr, &a};
  ASSERT_EQ(page->SetObjects(2, withNull), S_OK);
  EXPECT_EQ(page->Object(0), nullptr);
  EXPECT_EQ(page->Object(1), &a);
  EXPECT_EQ(b.refs, 1);

  // Counts whose array cannot exist fail without touching the caller's array.
  EXPECT_EQ(page->SetObjects(0x40000000, one), E_OUTOFMEMORY);
  EXPECT_EQ(page->SetObjects(0xFFFFFFFF, one), E_OUTOFMEMORY);
  EXPECT_EQ(page->ObjectCount(), 0u);
  EXPECT_EQ(page->Object(0), nullptr);
  EXPECT_EQ(a.refs, 1) << "the previous objects were released first";

  // The frame's way of clearing: no objects, no array.
  ASSERT_EQ(page->SetObjects(2, two), S_OK);
  EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
  EXPECT_EQ(page->ObjectCount(), 0u);
  EXPECT_EQ(a.refs, 1);
  EXPECT_EQ(b.refs, 1);

  ASSERT_EQ(page->SetObjects(1, one), S_OK);
  page->Release();
  EXPECT_EQ(b.refs, 1) << "the page's end releases its objects";
}

TEST_F(PageBaseTest, SiteIsHeldAndToldOnlyOfDirtyFlagChanges) {
  auto* page = new TestPage();
  RecordingSite site, other;
  ASSERT_EQ(page->SetPageSite(&site), S_OK);
  EXPECT_EQ(site.refs, 2);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);

  page->MarkDirty(true);
  page->MarkDirty(true);
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  page->MarkDirty(false);
  page->MarkDirty(false);
  EXPECT_EQ(site.statusChanges, (std::vector<DWORD>{PROPPAGESTATUS_DIRTY, PROPPAGESTATUS_CLEAN}));

  // Apply commits the page, then clears the flag.
  page->MarkDirty(true);
  EXPECT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(page->applies, 1);
  EXPECT_TRUE(page->dirtyAtApply);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(site.statusChanges.back(), static_cast<DWORD>(PROPPAGESTATUS_CLEAN));
  EXPECT_EQ(page->Apply(), S_OK) << "a clean page applies too";
  EXPECT_EQ(page->applies, 2);
  EXPECT_EQ(site.statusChanges.size(), 4u);

  ASSERT_EQ(page->SetPageSite(&other), S_OK);
  EXPECT_EQ(site.refs, 1);
  EXPECT_EQ(other.refs, 2);
  ASSERT_EQ(page->SetPageSite(nullptr), S_OK);
  EXPECT_EQ(other.refs, 1);
  page->MarkDirty(true);  // no site: nobody to tell, no crash
  EXPECT_EQ(page->IsPageDirty(), S_OK);

  ASSERT_EQ(page->SetPageSite(&site), S_OK);
  page->Release();
  EXPECT_EQ(site.refs, 1) << "the page's end releases its site";
}

TEST_F(PageBaseTest, DialogMessagesReachTheirHandlers) {
  auto* page = new TestPage();
  RECT r = Rect(0, 0, 400, 200);
  ASSERT_EQ(page->Activate(host.get(), &r, FALSE), S_OK);
  HWND dlg = page->Dialog();

  page->commands.clear();  // the edit box's own notices
  SendMessageA(GetDlgItem(dlg, 502), BM_CLICK, 0, 0);
  ASSERT_FALSE(page->commands.empty());
  EXPECT_EQ(page->commands.back(), 502);
  EXPECT_EQ(page->lastCode, BN_CLICKED);

  HWND slider = GetDlgItem(dlg, 503);
  SendMessageA(dlg, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, 77), reinterpret_cast<LPARAM>(slider));
  EXPECT_EQ(page->scrollCode, TB_THUMBPOSITION);
  EXPECT_EQ(page->scrollThumb, 77);
  EXPECT_EQ(page->scrollControl, slider);

  NMHDR hdr = {slider, 503, static_cast<UINT>(NM_CLICK)};
  SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 0);
  // The handler's result reaches the sender.
  EXPECT_EQ(SendMessageA(dlg, WM_NOTIFY, 503, reinterpret_cast<LPARAM>(&hdr)), 1234);
  EXPECT_EQ(page->notifiedCode, static_cast<UINT>(NM_CLICK));
  EXPECT_EQ(GetWindowLongPtrA(dlg, DWLP_MSGRESULT), 1234);

  SendMessageA(dlg, WM_TIMER, 7, 0);
  EXPECT_EQ(page->timers, (std::vector<UINT>{7}));
  page->Release();
}

TEST_F(PageBaseTest, TranslateAcceleratorTakesOnlyTheDialogsKeyboardInput) {
  auto* page = new TestPage();
  RECT r = Rect(0, 0, 400, 200);
  ASSERT_EQ(page->Activate(host.get(), &r, FALSE), S_OK);
  page->Show(SW_SHOW);
  HWND dlg = page->Dialog();
  HWND edit = GetDlgItem(dlg, 501);
  SetFocus(edit);
  ASSERT_EQ(GetFocus(), edit);

  EXPECT_EQ(page->TranslateAccelerator(nullptr), E_POINTER);
  MSG tab = {edit, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_EQ(page->TranslateAccelerator(&tab), S_OK);
  EXPECT_NE(GetFocus(), edit) << "the tab key moved the focus";

  MSG paint = {edit, WM_PAINT, 0, 0, 0, {0, 0}};
  EXPECT_EQ(page->TranslateAccelerator(&paint), S_FALSE);
  MSG foreign = {host.get(), WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
  EXPECT_EQ(page->TranslateAccelerator(&foreign), S_FALSE);
  page->Deactivate();
  EXPECT_EQ(page->TranslateAccelerator(&tab), S_FALSE);
  page->Release();
}

TEST_F(PageBaseTest, HelpWithoutAHelpFileIsNotOffered) {
  auto* page = new TestPage();
  EXPECT_EQ(page->Help(L"C:\\help"), E_NOTIMPL);
  EXPECT_EQ(page->Help(nullptr), E_NOTIMPL);
  page->Release();
}

// An outer object for the page's aggregation at the level of the class.
class CountingOuter : public IUnknown {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    ++queries;
    if (IsEqualIID(iid, IID_IUnknown)) {
      *out = this;
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(iid, out);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
  IUnknown* inner = nullptr;
  LONG refs = 1;
  int queries = 0;
};

TEST_F(PageBaseTest, AnAggregatedPageCountsItsReferencesOnTheOuterObject) {
  auto* page = new TestPage();
  CountingOuter outer;
  page->SetOuter(&outer);
  outer.inner = page->InnerUnknown();

  IPropertyPage* asPage = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_IPropertyPage, reinterpret_cast<void**>(&asPage)), S_OK);
  EXPECT_EQ(outer.refs, 2);
  asPage->AddRef();
  EXPECT_EQ(outer.refs, 3);
  asPage->Release();
  asPage->Release();
  EXPECT_EQ(outer.refs, 1);
  IUnknown* identity = nullptr;
  ASSERT_EQ(page->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, &outer);
  identity->Release();
  EXPECT_EQ(outer.inner->Release(), 0u) << "the inner unknown owns the page";
}

}  // namespace
