// What the page tests share: a page of the built Z9100Dex.dll, hosted by a
// test page site in a parent window of the test's own, talking to the bench
// camera through the proxy filter object; the camera's request log decoded
// into the SETs the page sent; helpers that read the page's controls.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench_client.h"
#include "ks_interfaces.h"
#include "ks_requests.h"
#include "page_clsids.h"
#include "win_handles.h"
#include "wintest.h"

namespace pagetest {

constexpr CLSID kClsidProxy = {0x17CCA71B, 0xECD7, 0x11D0, {0xB9, 0x08, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr char kSettingsKey[] = "Software\\RidEva\\Z9100";
constexpr char kParentClass[] = "Z9PageTestParent";

// Records what the page tells its site.
class TestSite final : public IPropertyPageSite {
 public:
  std::vector<DWORD> statuses;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyPageSite)) return E_NOINTERFACE;
    *out = static_cast<IPropertyPageSite*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }
  STDMETHODIMP OnStatusChange(DWORD flags) override {
    statuses.push_back(flags);
    return S_OK;
  }
  STDMETHODIMP GetLocaleID(LCID* lcid) override {
    if (!lcid) return E_POINTER;
    *lcid = LOCALE_USER_DEFAULT;
    return S_OK;
  }
  STDMETHODIMP GetPageContainer(IUnknown** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }

 private:
  LONG refs_ = 1;
};

// A request as the camera received it (SETs and GETs of every kind).
struct Sent {
  uint32_t kind, id;
  int32_t value, flags;
  bool operator==(const Sent& o) const { return kind == o.kind && id == o.id && value == o.value && flags == o.flags; }
};
inline std::ostream& operator<<(std::ostream& os, const Sent& s) {
  return os << "{kind " << s.kind << ", id " << s.id << ", value " << s.value << ", flags " << s.flags << "}";
}

inline bool IsSet(const std::vector<Sent>& sets, uint32_t kind, uint32_t id, int32_t value, int32_t flags) {
  for (const auto& s : sets)
    if (s.kind == kind && s.id == id && s.value == value && s.flags == flags) return true;
  return false;
}

// Settings values that would change the pages' texts, tabs or orientation:
// kept aside while a suite runs.
struct SavedValue {
  const char* name;
  bool isText;
  bool present = false;
  std::string text;
  DWORD number = 0;
};

class PageTest : public ::testing::Test {
 protected:
  explicit PageTest(const CLSID& clsid) : clsid_(clsid) {}

  static void SetUpTestSuite() {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    module_ = LoadLibraryA((wintest::ExeDir() + "\\Z9100Dex.dll").c_str());
    ASSERT_NE(nullptr, module_) << "Z9100Dex.dll not found next to the test";
    auto reg = reinterpret_cast<HRESULT(WINAPI*)()>(GetProcAddress(module_, "DllRegisterServer"));
    ASSERT_NE(nullptr, reg);
    registeredHere_ = !wintest::RegKeyExists(HKEY_CLASSES_ROOT, "CLSID\\{7EBBB1AF-C455-4F97-B5E7-9D4E5B983001}");
    ASSERT_EQ(S_OK, reg());
    for (SavedValue& v : saved_) {
      if (v.isText)
        v.present = wintest::RegGetString(HKEY_LOCAL_MACHINE, kSettingsKey, v.name, &v.text);
      else
        v.present = wintest::RegGetDword(HKEY_LOCAL_MACHINE, kSettingsKey, v.name, &v.number);
      if (v.present) wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSettingsKey, v.name);
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kParentClass;
    RegisterClassA(&wc);
  }

  static void TearDownTestSuite() {
    for (SavedValue& v : saved_) {
      wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, kSettingsKey, v.name);
      if (!v.present) continue;
      if (v.isText)
        wintest::RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, v.name, v.text);
      else
        wintest::RegSetDword(HKEY_LOCAL_MACHINE, kSettingsKey, v.name, v.number);
    }
    if (module_ && registeredHere_) {
      auto unreg = reinterpret_cast<HRESULT(WINAPI*)()>(GetProcAddress(module_, "DllUnregisterServer"));
      if (unreg) unreg();
    }
    CoFreeUnusedLibraries();
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    CoUninitialize();
  }

  void SetUp() override {
    ASSERT_TRUE(bench.Open(15000)) << "bench control device missing, error " << bench.LastError();
    ASSERT_TRUE(bench.Reset());
    ASSERT_EQ(S_OK, CoCreateInstance(kClsidProxy, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, filter.put_void()));
  }

  void TearDown() override {
    Close();
    filter.reset();
    if (bench.IsOpen()) bench.Reset();
  }

  // Creates the page, hands it `object` (the proxy filter by default; none
  // when `objects` is 0) and activates it in a parent window of our own.
  void Open(IUnknown* object = nullptr, ULONG objects = 1) {
    ASSERT_EQ(S_OK, CoCreateInstance(clsid_, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage, page.put_void()));
    ASSERT_EQ(S_OK, page->SetPageSite(&site));
    IUnknown* array[1] = {object ? object : filter.get()};
    ASSERT_EQ(S_OK, page->SetObjects(objects, objects ? array : nullptr));
    parent = CreateWindowExA(0, kParentClass, "page test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 660, 600, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, parent);
    const RECT rect = {0, 0, 620, 540};
    ASSERT_EQ(S_OK, page->Activate(parent, &rect, FALSE));
    ASSERT_EQ(S_OK, page->Show(SW_SHOW));
    dialog = GetWindow(parent, GW_CHILD);
    ASSERT_NE(nullptr, dialog);
  }

  // Closes the frame: the dialog goes (take-back), then the page.
  void Close() {
    if (page) {
      page->Deactivate();
      page->SetObjects(0, nullptr);
      page->SetPageSite(nullptr);
      page.reset();
    }
    if (parent) DestroyWindow(parent);
    parent = nullptr;
    dialog = nullptr;
  }

  HWND Item(int id) const { return GetDlgItem(dialog, id); }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  bool Visible(int id) const { return (GetWindowLongA(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
  bool Checked(int id) const { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
  std::string Text(int id) const { return wintest::WindowText(Item(id)); }
  int SliderPos(int id) const { return static_cast<int>(SendMessageA(Item(id), TBM_GETPOS, 0, 0)); }
  int SliderMin(int id) const { return static_cast<int>(SendMessageA(Item(id), TBM_GETRANGEMIN, 0, 0)); }
  int SliderMax(int id) const { return static_cast<int>(SendMessageA(Item(id), TBM_GETRANGEMAX, 0, 0)); }
  void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }
  // A WM_COMMAND as a button sends it, whatever its state (a disabled or
  // plain button the user could not click is reached this way).
  void Command(int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
  }
  void Scroll(int slider, int code, int thumb = 0) {
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(thumb)),
                 reinterpret_cast<LPARAM>(Item(slider)));
  }

  // The thumb's centre lies where the position falls in the channel.
  void ExpectThumbAtPosition(int slider) {
    SCOPED_TRACE(testing::Message() << "slider " << slider);
    RECT thumb = {}, channel = {};
    SendMessageA(Item(slider), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    SendMessageA(Item(slider), TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    const int minimum = SliderMin(slider), maximum = SliderMax(slider), position = SliderPos(slider);
    ASSERT_LT(minimum, maximum);
    const int width = thumb.right - thumb.left;
    // The thumb travels over the channel less its own width.
    const double travel = (channel.right - channel.left) - width;
    const double expected =
        channel.left + width / 2.0 + travel * (position - minimum) / static_cast<double>(maximum - minimum);
    const double centre = (thumb.left + thumb.right) / 2.0;
    EXPECT_NEAR(expected, centre, width / 2.0 + 2) << "position " << position << " in " << minimum << ".." << maximum;
  }

  // The bench camera.
  Z9B_CONTROL Camera(uint32_t group, uint32_t id) {
    Z9B_CONTROL c{};
    EXPECT_TRUE(bench.GetControl(group, id, &c));
    return c;
  }
  void SetCamera(uint32_t group, uint32_t id, int32_t value, int32_t flags = 2) {
    Z9B_CONTROL c = Camera(group, id);
    c.value = value;
    c.flags = flags;
    ASSERT_TRUE(bench.SetControl(c));
  }
  template <class Change>
  void ChangeCamera(uint32_t group, uint32_t id, Change change) {
    Z9B_CONTROL c = Camera(group, id);
    change(c);
    ASSERT_TRUE(bench.SetControl(c));
  }
  // A control the camera does not have at all.
  void RemoveFromCamera(uint32_t group, uint32_t id) {
    Z9B_CONTROL none{group, id, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(bench.SetControl(none));
  }
  uint32_t Mark() {
    Z9B_INFO info{};
    EXPECT_TRUE(bench.GetInfo(&info));
    return info.nextSequence;
  }
  std::vector<Z9B_LOG_ENTRY> Since(uint32_t mark) {
    std::vector<Z9B_LOG_ENTRY> all;
    EXPECT_TRUE(bench.ReadLog(&all, mark));
    return all;
  }
  // The requests with `flags` (SET by default) since `mark`, decoded.
  std::vector<Sent> SetsSince(uint32_t mark, uint32_t flags = z9::kKsPropertyTypeSet) {
    std::vector<Sent> out;
    for (const Z9B_LOG_ENTRY& e : Since(mark)) {
      if (e.flags != flags) continue;
      if (e.kind == Z9B_KIND_EXT_CONTROL) {
        // The proxy's header, then the page's 56-byte buffer: its record at 48.
        const z9::ControlInfo c = z9::GetControlInfo(e.in + 48);
        out.push_back({e.kind, e.id, c.Value, c.Flags});
      } else {
        out.push_back({e.kind, e.id, z9::GetI32(e.in + 24), z9::GetI32(e.in + 28)});
      }
    }
    return out;
  }
  // The ids of the camera's own control set that were sent since `mark`.
  std::vector<uint32_t> ExtSetIds(uint32_t mark) {
    std::vector<uint32_t> ids;
    for (const Sent& s : SetsSince(mark))
      if (s.kind == Z9B_KIND_EXT_CONTROL) ids.push_back(s.id);
    return ids;
  }
  // The (kind, id) of every request since `mark`, in order.
  std::vector<std::pair<uint32_t, uint32_t>> Requests(uint32_t mark) {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    for (const Z9B_LOG_ENTRY& e : Since(mark)) out.push_back({e.kind, e.id});
    return out;
  }

  z9bench::Bench bench;
  z9::ComPtr<IUnknown> filter;
  z9::ComPtr<IPropertyPage> page;
  TestSite site;
  HWND parent = nullptr;
  HWND dialog = nullptr;

  inline static HMODULE module_ = nullptr;
  inline static bool registeredHere_ = false;
  inline static SavedValue saved_[3] = {
      {"LangFilePath", true, false, {}, 0}, {"PropertyPage", false, false, {}, 0}, {"DefaultFlip", false, false, {}, 0}};

 private:
  CLSID clsid_;
};

}  // namespace pagetest
