#include "twain_session.h"

#include <cstring>

namespace z9bench {

using namespace twain;

namespace {
constexpr char kWindowClass[] = "Z9BenchTwainApp";

void CopyText(char (&dst)[34], const char* src) {
  size_t i = 0;
  for (; i + 1 < sizeof dst && src[i] != '\0'; ++i) dst[i] = src[i];
  std::memset(dst + i, 0, sizeof dst - i);
}
}  // namespace

TwainSession::TwainSession() {
  app_.Version.MajorNum = 1;
  app_.Version.Language = 13;
  app_.Version.Country = 1;
  CopyText(app_.Version.Info, "bench");
  app_.ProtocolMajor = TWON_PROTOCOLMAJOR;
  app_.ProtocolMinor = TWON_PROTOCOLMINOR;
  app_.SupportedGroups = DG_CONTROL | DG_IMAGE;
  CopyText(app_.Manufacturer, "Z9 bench");
  CopyText(app_.ProductFamily, "TWAIN application");
  CopyText(app_.ProductName, "Z9 bench TWAIN application");
}

TwainSession::~TwainSession() {
  CloseManager();
  if (window_ != nullptr) DestroyWindow(window_);
  if (library_ != nullptr) FreeLibrary(library_);
}

bool TwainSession::OpenManager(bool twain2) {
  if (library_ == nullptr) library_ = LoadLibraryA("twain_32.dll");
  if (library_ == nullptr) return false;
  entry_ = reinterpret_cast<DSMENTRYPROC>(GetProcAddress(library_, "DSM_Entry"));
  if (entry_ == nullptr) return false;
  if (window_ == nullptr) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, kWindowClass, "Z9 bench TWAIN application", WS_OVERLAPPEDWINDOW, 700, 20, 300, 100,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  if (twain2)
    app_.SupportedGroups |= DF_APP2;
  else
    app_.SupportedGroups &= ~DF_APP2;
  HWND parent = window_;
  managerOpen_ = ToManager(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &parent) == TWRC_SUCCESS;
  return managerOpen_;
}

void TwainSession::CloseManager() {
  if (sourceOpen_) CloseSource();
  if (managerOpen_) {
    HWND parent = window_;
    ToManager(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &parent);
    managerOpen_ = false;
  }
}

TW_UINT16 TwainSession::ToManager(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
  return entry_ != nullptr ? entry_(&app_, nullptr, dg, dat, msg, data) : TWRC_FAILURE;
}

TW_UINT16 TwainSession::ToSource(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data) {
  return entry_ != nullptr ? entry_(&app_, &source_, dg, dat, msg, data) : TWRC_FAILURE;
}

TW_UINT16 TwainSession::SourceCondition() {
  TW_STATUS status = {};
  if (ToSource(DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return 0xffff;
  return status.ConditionCode;
}

TW_UINT16 TwainSession::ManagerCondition() {
  TW_STATUS status = {};
  if (ToManager(DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS) return 0xffff;
  return status.ConditionCode;
}

std::vector<TW_IDENTITY> TwainSession::ListSources() {
  std::vector<TW_IDENTITY> list;
  TW_IDENTITY id = {};
  for (TW_UINT16 rc = ToManager(DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &id); rc == TWRC_SUCCESS && list.size() < 64;
       rc = ToManager(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &id))
    list.push_back(id);
  return list;
}

TW_UINT16 TwainSession::OpenSource(const char* productName) {
  std::memset(&source_, 0, sizeof source_);
  CopyText(source_.ProductName, productName);
  const TW_UINT16 rc = ToManager(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source_);
  sourceOpen_ = rc == TWRC_SUCCESS;
  return rc;
}

TW_UINT16 TwainSession::CloseSource() {
  const TW_UINT16 rc = ToManager(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source_);
  if (rc == TWRC_SUCCESS) sourceOpen_ = false;
  return rc;
}

TW_UINT16 TwainSession::GiveSourceManagerEntry() {
  TW_ENTRYPOINT entry = {};
  entry.Size = sizeof entry;
  entry.DSM_Entry = entry_;
  return ToSource(DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, &entry);
}

TW_UINT16 TwainSession::Capability(TW_UINT16 msg, TW_UINT16 cap, TW_UINT16* conType, std::vector<uint8_t>* container) {
  TW_CAPABILITY c = {};
  c.Cap = cap;
  c.ConType = TWON_DONTCARE16;
  const TW_UINT16 rc = ToSource(DG_CONTROL, DAT_CAPABILITY, msg, &c);
  if (conType != nullptr) *conType = c.ConType;
  if (container != nullptr) container->clear();
  if (c.hContainer != nullptr) {
    HGLOBAL h = static_cast<HGLOBAL>(c.hContainer);
    const uint8_t* bytes = static_cast<const uint8_t*>(GlobalLock(h));
    if (bytes != nullptr && container != nullptr) container->assign(bytes, bytes + GlobalSize(h));
    if (bytes != nullptr) GlobalUnlock(h);
    GlobalFree(h);
  }
  return rc;
}

TW_UINT16 TwainSession::SetCapability(TW_UINT16 cap, TW_UINT16 conType, const std::vector<uint8_t>& bytes) {
  TW_CAPABILITY c = {};
  c.Cap = cap;
  c.ConType = conType;
  HGLOBAL h = GlobalAlloc(GHND, bytes.empty() ? 1 : bytes.size());
  if (h == nullptr) return TWRC_FAILURE;
  void* p = GlobalLock(h);
  if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
  GlobalUnlock(h);
  c.hContainer = h;
  const TW_UINT16 rc = ToSource(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &c);
  GlobalFree(h);
  return rc;
}

TW_UINT16 TwainSession::SetOneValue(TW_UINT16 cap, TW_UINT16 itemType, uint32_t value) {
  TW_ONEVALUE v = {};
  v.ItemType = itemType;
  v.Item = value;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&v);
  return SetCapability(cap, TWON_ONEVALUE, std::vector<uint8_t>(p, p + sizeof v));
}

TW_UINT16 TwainSession::Enable(bool showUI) {
  TW_USERINTERFACE ui = {};
  ui.ShowUI = showUI ? 1 : 0;
  ui.hParent = window_;
  return ToSource(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
}

TW_UINT16 TwainSession::Disable() {
  TW_USERINTERFACE ui = {};
  ui.hParent = window_;
  return ToSource(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
}

int TwainSession::PumpEvents(DWORD ms, std::vector<TW_UINT16>* notices) {
  int count = 0;
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TW_EVENT event = {};
      event.pEvent = &msg;
      const TW_UINT16 rc = ToSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
      if (rc != TWRC_DSEVENT) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      if (event.TWMessage != MSG_NULL) {
        ++count;
        if (notices != nullptr) notices->push_back(event.TWMessage);
        else return count;
      }
    }
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return count;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
  }
}

TW_UINT16 TwainSession::WaitForNotice(DWORD timeoutMs) {
  std::vector<TW_UINT16> notices;
  const DWORD start = GetTickCount();
  while (notices.empty() && GetTickCount() - start < timeoutMs) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      continue;
    }
    TW_EVENT event = {};
    event.pEvent = &msg;
    if (ToSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) != TWRC_DSEVENT) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (event.TWMessage != MSG_NULL) notices.push_back(event.TWMessage);
  }
  return notices.empty() ? MSG_NULL : notices.front();
}

TW_UINT16 TwainSession::NativeTransfer(std::vector<uint8_t>* dib) {
  TW_HANDLE handle = nullptr;
  const TW_UINT16 rc = ToSource(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
  dib->clear();
  if (handle != nullptr) {
    HGLOBAL h = static_cast<HGLOBAL>(handle);
    const uint8_t* bytes = static_cast<const uint8_t*>(GlobalLock(h));
    if (bytes != nullptr) dib->assign(bytes, bytes + GlobalSize(h));
    if (bytes != nullptr) GlobalUnlock(h);
    GlobalFree(h);
  }
  return rc;
}

TW_UINT16 TwainSession::MemoryTransfer(uint32_t bufferSize, std::vector<uint8_t>* dib, int* strips) {
  std::vector<uint8_t> buffer(bufferSize), rgb;
  uint32_t width = 0, rows = 0;
  *strips = 0;
  dib->clear();
  for (;;) {
    TW_IMAGEMEMXFER x = {};
    x.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
    x.Memory.Length = bufferSize;
    x.Memory.TheMem = buffer.data();
    const TW_UINT16 rc = ToSource(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &x);
    if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE) return rc;
    ++*strips;
    if (x.YOffset != rows || x.BytesWritten != x.Rows * x.BytesPerRow || x.BytesPerRow != x.Columns * 3 ||
        x.BytesWritten > bufferSize)
      return TWRC_FAILURE;  // strips out of order or not whole rows
    width = x.Columns;
    rgb.insert(rgb.end(), buffer.begin(), buffer.begin() + x.BytesWritten);
    rows += x.Rows;
    if (rc == TWRC_XFERDONE) break;
    if (*strips > 100000) return TWRC_FAILURE;
  }
  *dib = DibFromTopDownRgb(rgb, width, rows);
  return TWRC_XFERDONE;
}

TW_UINT16 TwainSession::EndTransfer(TW_UINT16* count) {
  TW_PENDINGXFERS p = {};
  const TW_UINT16 rc = ToSource(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &p);
  if (count != nullptr) *count = p.Count;
  return rc;
}

std::vector<uint8_t> DibFromTopDownRgb(const std::vector<uint8_t>& rgb, uint32_t width, uint32_t height) {
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  std::vector<uint8_t> dib(40 + stride * height);
  BITMAPINFOHEADER h = {};
  h.biSize = 40;
  h.biWidth = static_cast<LONG>(width);
  h.biHeight = static_cast<LONG>(height);
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biSizeImage = static_cast<DWORD>(stride * height);
  std::memcpy(dib.data(), &h, 40);
  for (uint32_t y = 0; y < height && rgb.size() >= (y + 1) * width * 3; ++y) {
    const uint8_t* src = rgb.data() + static_cast<size_t>(y) * width * 3;
    uint8_t* dst = dib.data() + 40 + static_cast<size_t>(height - 1 - y) * stride;
    for (uint32_t x = 0; x < width; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return dib;
}

}  // namespace z9bench
