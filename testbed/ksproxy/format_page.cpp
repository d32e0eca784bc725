#include "format_page.h"

#include <cstdio>
#include <new>

#include "module.h"
#include "video_formats.h"

namespace z9proxy {

// {5E1A7C20-3B9D-4C61-9A0E-7F2B6D4C1A01}, Z9B_FORMAT_PAGE_CLSID
const CLSID kClsidFormatPage = {0x5E1A7C20, 0x3B9D, 0x4C61, {0x9A, 0x0E, 0x7F, 0x2B, 0x6D, 0x4C, 0x1A, 0x01}};

namespace {

constexpr char kWindowClass[] = "Z9BenchFormatPage";
constexpr int kWidth = 240, kHeight = 150;

// "RGB24 640 x 480, 30.0 fps" and the like.
void Describe(const AM_MEDIA_TYPE& mt, char* text, size_t size) {
  if (!IsEqualGUID(mt.formattype, FORMAT_VideoInfo) || !mt.pbFormat || mt.cbFormat < sizeof(VIDEOINFOHEADER)) {
    std::snprintf(text, size, "(not a video format)");
    return;
  }
  const auto* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
  char name[8] = "RGB24";
  if (!IsEqualGUID(mt.subtype, MEDIASUBTYPE_RGB24)) {
    const DWORD cc = mt.subtype.Data1;
    for (int i = 0; i < 4; ++i) name[i] = static_cast<char>((cc >> (8 * i)) & 0xFF);
    name[4] = 0;
  }
  const double fps = vih->AvgTimePerFrame > 0 ? 10000000.0 / static_cast<double>(vih->AvgTimePerFrame) : 0.0;
  std::snprintf(text, size, "%s %ld x %ld, %.1f fps", name, static_cast<long>(vih->bmiHeader.biWidth),
                static_cast<long>(vih->bmiHeader.biHeight), fps);
}

}  // namespace

HRESULT FormatPage::Create(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* p = new (std::nothrow) FormatPage();
  if (!p) return E_OUTOFMEMORY;
  const HRESULT hr = p->QueryInterface(iid, out);
  p->Release();
  return hr;
}

FormatPage::FormatPage() { AddModuleRef(); }

FormatPage::~FormatPage() {
  if (window_) DestroyWindow(window_);
  if (config_) config_->Release();
  if (site_) site_->Release();
  ReleaseModuleRef();
}

STDMETHODIMP FormatPage::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPage)) {
    *out = static_cast<IPropertyPage*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FormatPage::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) FormatPage::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

STDMETHODIMP FormatPage::SetPageSite(IPropertyPageSite* site) {
  if (site) site->AddRef();
  if (site_) site_->Release();
  site_ = site;
  return S_OK;
}

STDMETHODIMP FormatPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count && !objects) return E_POINTER;
  if (config_) config_->Release();
  config_ = nullptr;
  for (ULONG i = 0; i < count && !config_; ++i)
    if (objects[i]) objects[i]->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config_));
  if (count && !config_) return E_NOINTERFACE;
  if (list_) FillList();
  return S_OK;
}

STDMETHODIMP FormatPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  static const WCHAR kTitle[] = L"Bench format";
  info->cb = sizeof *info;
  info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof kTitle));
  if (info->pszTitle) lstrcpyW(info->pszTitle, kTitle);
  info->size = {kWidth, kHeight};
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return info->pszTitle ? S_OK : E_OUTOFMEMORY;
}

LRESULT CALLBACK FormatPage::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<FormatPage*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_COMMAND && self && LOWORD(wp) == kListId && HIWORD(wp) == LBN_SELCHANGE) {
    self->dirty_ = true;
    self->ApplySelection();
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

STDMETHODIMP FormatPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (!rect) return E_POINTER;
  if (window_) return E_UNEXPECTED;
  WNDCLASSA wc{};
  if (!GetClassInfoA(g_module, kWindowClass, &wc)) {
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = g_module;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassA(&wc)) return HRESULT_FROM_WIN32(GetLastError());
  }
  window_ = CreateWindowExA(WS_EX_CONTROLPARENT, kWindowClass, "", WS_CHILD, rect->left, rect->top,
                            rect->right - rect->left, rect->bottom - rect->top, parent, nullptr, g_module, nullptr);
  if (!window_) return HRESULT_FROM_WIN32(GetLastError());
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  list_ = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY, 8, 8,
                          kWidth - 16, kHeight - 44, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)),
                          g_module, nullptr);
  status_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 8, kHeight - 30, kWidth - 16, 20, window_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusId)), g_module, nullptr);
  if (list_) SendMessageA(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  if (status_) SendMessageA(status_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  FillList();
  return S_OK;
}

STDMETHODIMP FormatPage::Deactivate() {
  if (window_) DestroyWindow(window_);
  window_ = list_ = status_ = nullptr;
  return S_OK;
}

// One line per capability; the current format is selected.
void FormatPage::FillList() {
  if (!list_) return;
  SendMessageA(list_, LB_RESETCONTENT, 0, 0);
  if (!config_) return;
  int count = 0, size = 0;
  if (FAILED(config_->GetNumberOfCapabilities(&count, &size)) || size != sizeof(VIDEO_STREAM_CONFIG_CAPS)) return;
  AM_MEDIA_TYPE* current = nullptr;
  config_->GetFormat(&current);
  const int currentIndex = current ? FindFormat(*current) : -1;
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    if (config_->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)) != S_OK || !mt) continue;
    char text[96];
    Describe(*mt, text, sizeof text);
    const LRESULT at = SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (at >= 0) SendMessageA(list_, LB_SETITEMDATA, static_cast<WPARAM>(at), i);
    if (currentIndex >= 0 && FindFormat(*mt) == currentIndex && at >= 0)
      SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(at), 0);
    DeleteMediaType(mt);
  }
  DeleteMediaType(current);
  ShowCurrent();
}

void FormatPage::ShowCurrent() {
  if (!status_ || !config_) return;
  AM_MEDIA_TYPE* current = nullptr;
  char text[96] = "";
  if (SUCCEEDED(config_->GetFormat(&current)) && current) {
    Describe(*current, text, sizeof text);
    DeleteMediaType(current);
  }
  SetWindowTextA(status_, text);
}

// The chosen capability at the stream's present frame rate.
HRESULT FormatPage::ApplySelection() {
  if (!dirty_) return S_OK;
  if (!config_ || !list_) return E_UNEXPECTED;
  const LRESULT at = SendMessageA(list_, LB_GETCURSEL, 0, 0);
  if (at < 0) return S_OK;
  const int index = static_cast<int>(SendMessageA(list_, LB_GETITEMDATA, static_cast<WPARAM>(at), 0));
  AM_MEDIA_TYPE* mt = nullptr;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  HRESULT hr = config_->GetStreamCaps(index, &mt, reinterpret_cast<BYTE*>(&caps));
  if (hr != S_OK || !mt) return FAILED(hr) ? hr : E_UNEXPECTED;
  AM_MEDIA_TYPE* current = nullptr;
  if (SUCCEEDED(config_->GetFormat(&current)) && current) {
    const REFERENCE_TIME t = FrameTimeOf(*current);
    if (t > 0 && IsEqualGUID(mt->formattype, FORMAT_VideoInfo))
      reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat)->AvgTimePerFrame = t;
    DeleteMediaType(current);
  }
  hr = config_->SetFormat(mt);
  DeleteMediaType(mt);
  if (SUCCEEDED(hr)) dirty_ = false;
  ShowCurrent();
  if (FAILED(hr) && status_) {
    char text[64];
    std::snprintf(text, sizeof text, "SetFormat failed: 0x%08lX", static_cast<unsigned long>(hr));
    SetWindowTextA(status_, text);
  }
  if (site_) site_->OnStatusChange(dirty_ ? PROPPAGESTATUS_DIRTY : PROPPAGESTATUS_CLEAN);
  return hr;
}

STDMETHODIMP FormatPage::Show(UINT cmd) {
  if (!window_) return E_UNEXPECTED;
  ShowWindow(window_, static_cast<int>(cmd));
  return S_OK;
}

STDMETHODIMP FormatPage::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (!window_) return E_UNEXPECTED;
  MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

STDMETHODIMP FormatPage::IsPageDirty() { return dirty_ ? S_OK : S_FALSE; }
STDMETHODIMP FormatPage::Apply() { return ApplySelection(); }
STDMETHODIMP FormatPage::Help(LPCOLESTR) { return E_NOTIMPL; }
STDMETHODIMP FormatPage::TranslateAccelerator(MSG*) { return S_FALSE; }

}  // namespace z9proxy
