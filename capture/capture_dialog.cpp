#include "capture_dialog.h"

#include <commctrl.h>

#include <cstdio>

#include "module_state.h"
#include "registry_view.h"
#include "resource.h"
#include "settings.h"
#include "stream_format.h"

namespace z9twn {

namespace {
constexpr int kStatusBarHeight = 24;
constexpr int kStatusPart0End = 240;
constexpr size_t kTipSize = 80;
}  // namespace

CaptureDialog::CaptureDialog(HWND host, Notifier* notifier) : host_(host), notifier_(notifier) {}

CaptureDialog::~CaptureDialog() {
  tearingDown_ = true;
  if (hwnd_ != nullptr && timerRunning_) KillTimer(hwnd_, STATS_TIMER_ID);
  timerRunning_ = false;
  if (statusBar_ != nullptr) DestroyWindow(statusBar_);
  statusBar_ = nullptr;
  pane_ = nullptr;
  ReleaseGraph();
  if (tooltip_ != nullptr) DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  hwnd_ = nullptr;
}

HWND CaptureDialog::Create() {
  CreateDialogParamA(Module().instance, MAKEINTRESOURCEA(IDD_CAPTURE_DIALOG), host_, &CaptureDialog::DialogProc,
                     reinterpret_cast<LPARAM>(this));
  return hwnd_;
}

bool CaptureDialog::Release() {
  if (--depth_ > 0) return false;
  if (windowGone_) ReleaseGraph();
  if (!doomed_) return false;
  delete this;
  return true;
}

// Teardown steps 4 and 5: the graph (and with it the still buffer), then COM.
void CaptureDialog::ReleaseGraph() {
  graph_.reset();
  if (comInitialized_) CoUninitialize();
  comInitialized_ = false;
}

void CaptureDialog::Destroy(CaptureDialog* dialog) {
  if (dialog == nullptr) return;
  if (dialog->depth_ > 0)
    dialog->doomed_ = true;
  else
    delete dialog;
}

INT_PTR CALLBACK CaptureDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CaptureDialog* self = nullptr;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<CaptureDialog*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    self->hwnd_ = hwnd;
  } else {
    self = reinterpret_cast<CaptureDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  }
  if (self == nullptr || self->tearingDown_) return FALSE;
  self->Hold();
  const INT_PTR result = self->Handle(msg, wParam, lParam);
  self->Release();
  return result;
}

INT_PTR CaptureDialog::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_CLOSE: OnClose(); return TRUE;
    case WM_TIMER:
      if (wParam == STATS_TIMER_ID) OnTimer();
      return TRUE;
    case WM_SYSCOMMAND: {
      const UINT command = static_cast<UINT>(wParam & 0xFFF0);
      if (command == SC_SCREENSAVE || command == SC_MONITORPOWER) {
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, 0);
        return TRUE;
      }
      return FALSE;
    }
    case WM_QUERYDRAGICON: return reinterpret_cast<INT_PTR>(icon_);
    case WM_DESTROY: OnWindowDestroyed(); return FALSE;
    case WM_NCDESTROY: OnWindowGone(); return FALSE;
    default: return FALSE;
  }
}

// Only a window destroyed from outside gets here (the teardown ignores its
// own window's messages): the host window went, taking its owned dialog
// with it. The graph goes now, while the video window is still in the pane,
// unless a handler further up the stack is using it.
void CaptureDialog::OnWindowDestroyed() {
  windowGone_ = true;
  if (depth_ == 1) ReleaseGraph();
}

// The last message of the window: the status bar, the pane and the tooltip
// control went with it, and so did the timer. Nothing of them is touched again,
// whether RemoveUIDlg or a new CreateUIDlg comes next.
void CaptureDialog::OnWindowGone() {
  windowGone_ = true;
  SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
  hwnd_ = nullptr;
  pane_ = nullptr;
  statusBar_ = nullptr;
  tooltip_ = nullptr;
  timerRunning_ = false;
}

BOOL CaptureDialog::OnInitDialog() {
  TwnModule& m = Module();
  // 2. COM for this thread, balanced at teardown.
  comInitialized_ = SUCCEEDED(CoInitialize(nullptr));
  // 3. The registry view.
  z9::SetRegistryViewFlag(z9::ComputeRegistryViewFlag());
  // 4. Texts.
  LoadGrabTexts(&m.texts);
  // 5. The camera's name.
  bool named = false;
  {
    z9::UniqueHKey key;
    if (z9::OpenSettingsKey(KEY_READ, &key)) named = z9::QueryTextValue(key.get(), "FriendlyName", m.deviceName, sizeof m.deviceName);
  }
  if (!named) {
    lstrcpynA(m.deviceName, kDefaultDeviceName, sizeof m.deviceName);
    MessageBoxA(hwnd_, error178_, m.texts.msgCaption0, MB_OK);
  }
  // 6. The title.
  SetWindowTextA(hwnd_, m.deviceName);
  // 7, 8. The graph.
  graph_.reset(new (std::nothrow) PreviewGraph(m.deviceName, m.texts, notifier_));
  if (!graph_ || !graph_->BuildGraph() || !graph_->ConnectPreview()) {
    graph_.reset();
    SendMessageA(hwnd_, WM_CLOSE, 0, 0);
    return FALSE;
  }
  // 9. Icons (the library carries none).
  icon_ = LoadIconA(m.instance, MAKEINTRESOURCEA(IDI_CAPTURE_DIALOG));
  SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  // 10. The preview pane.
  pane_ = GetDlgItem(hwnd_, IDC_PREVIEW_PANE);
  // 11, 12. Layout, video window, status bar and its texts.
  Layout();
  WriteStatusTexts();
  // 13. Statistics.
  timerRunning_ = SetTimer(hwnd_, STATS_TIMER_ID, kStatsPeriodMs, nullptr) != 0;
  graph_->StartStatistics();
  // 14. Run.
  graph_->RunGraph();
  // 15. The still buffer.
  graph_->QueryStillBufferSize();
  // 16. Tooltips.
  CreateTooltips();
  // 17. Button texts.
  SetButtonTexts();
  // 18. The host learns the stream.
  SendImageInfo(StreamImageInfo());
  return TRUE;
}

void CaptureDialog::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case IDC_CAPTURE: OnCapture(); break;
    case IDC_FREEZE: OnFreeze(); break;
    case IDC_MODE: OnMode(); break;
    case IDC_PROPERTY: OnProperty(); break;
    case IDOK: SendMessageA(hwnd_, WM_CLOSE, 0, 0); break;
    default: break;  // Escape (IDCANCEL) does nothing: the dialog never closes itself
  }
}

void CaptureDialog::OnClose() { SendMessageA(host_, WM_UIDLG_HOST, HOST_CLOSE_REQUEST, 0); }

void CaptureDialog::OnCapture() {
  if (captureBusy_) return;
  captureBusy_ = 1;
  HWND button = GetDlgItem(hwnd_, IDC_CAPTURE);
  EnableWindow(button, FALSE);
  StillPicture picture;
  bool taken = false;
  if (graph_)
    taken = graph_->TakeStill(&picture);
  else
    notifier_->ShowMessage(nullptr, "ERROR 724:9791", MB_ICONERROR);
  if (taken) {
    ImageInfo info = StreamImageInfo();
    info.width = static_cast<uint16_t>(picture.width);
    info.height = static_cast<uint16_t>(picture.height);
    SendImageInfo(info);
    if (IsWindow(host_))
      SendMessageA(host_, WM_UIDLG_HOST, HOST_IMAGE_DIB, reinterpret_cast<LPARAM>(picture.block));
    else
      GlobalFree(picture.block);  // nobody to own it
  }
  if (hwnd_ != nullptr && !doomed_) {
    EnableWindow(button, TRUE);
    captureBusy_ = 0;
  }
}

// "&Freeze" and "&Mode" are ignored while a capture runs (its error box
// leaves the dialog usable): the stream and the still buffer stay as the
// capture found them.
void CaptureDialog::OnFreeze() {
  if (!graph_ || captureBusy_) return;
  TwnModule& m = Module();
  frozen_ = !frozen_;
  if (frozen_) {
    SetDlgItemTextA(hwnd_, IDC_FREEZE, m.texts.dlgString6);
    SetTooltip(IDC_FREEZE, IDS_TIP_RESUME);
    EnableWindow(GetDlgItem(hwnd_, IDC_MODE), FALSE);
    graph_->PauseGraph();
  } else {
    SetDlgItemTextA(hwnd_, IDC_FREEZE, m.texts.dlgString5);
    SetTooltip(IDC_FREEZE, IDS_TIP_PAUSE);
    EnableWindow(GetDlgItem(hwnd_, IDC_MODE), TRUE);
    graph_->RunGraph();
  }
}

void CaptureDialog::OnMode() {
  if (!graph_ || frozen_ || captureBusy_) return;
  if (timerRunning_) KillTimer(hwnd_, STATS_TIMER_ID);
  timerRunning_ = false;
  graph_->ShowFormatPages(hwnd_);
  if (doomed_ || windowGone_) return;
  SendImageInfo(StreamImageInfo());
  Layout();
  WriteStatusTexts();
  timerRunning_ = SetTimer(hwnd_, STATS_TIMER_ID, kStatsPeriodMs, nullptr) != 0;
  graph_->StartStatistics();
  graph_->RunGraph();
  graph_->QueryStillBufferSize();
}

// The frame can open during a capture's error box; the capture is still
// running when it closes, so the flag goes back to what it was.
void CaptureDialog::OnProperty() {
  if (!graph_) return;
  const int wasBusy = captureBusy_;
  captureBusy_ = 1;
  graph_->ShowCameraPages(hwnd_);
  captureBusy_ = wasBusy;
}

void CaptureDialog::OnTimer() {
  if (!graph_ || statusBar_ == nullptr) return;
  char text[64];
  if (graph_->UpdateStatistics(text, sizeof text)) SendMessageA(statusBar_, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(text));
}

void CaptureDialog::Layout() {
  if (!graph_) return;
  const DialogLayout l = LayoutForStream(graph_->width(), graph_->height(), graph_->sizeCode());
  if (statusBar_ != nullptr) ShowWindow(hwnd_, SW_HIDE);
  if (l.changes) {
    SetWindowPos(hwnd_, nullptr, kDialogLeft, kDialogTop, l.dialogWidth, l.dialogHeight,
                 SWP_NOZORDER | SWP_SHOWWINDOW);
    if (pane_ != nullptr)
      SetWindowPos(pane_, nullptr, l.paneX, l.paneY, l.paneWidth, l.paneHeight, SWP_NOZORDER | SWP_SHOWWINDOW);
  } else {
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  }
  for (int i = 0; i < kButtonCount; ++i) {
    HWND button = GetDlgItem(hwnd_, kButtonRow[i]);
    if (button != nullptr)
      SetWindowPos(button, nullptr, l.buttonX[i], kButtonTop, kButtonWidth, kButtonHeight,
                   SWP_NOZORDER | SWP_SHOWWINDOW);
  }
  graph_->PlaceVideoWindow(pane_);

  RECT client = {};
  GetClientRect(hwnd_, &client);
  if (statusBar_ == nullptr) {
    statusBar_ = CreateWindowExA(0, STATUSCLASSNAMEA, "",
                                 WS_CHILD | WS_VISIBLE | WS_BORDER | SBARS_SIZEGRIP | CCS_BOTTOM, client.left,
                                 client.top, client.right - client.left, client.bottom - client.top, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_BAR)), Module().instance,
                                 nullptr);
    if (statusBar_ != nullptr) ShowWindow(statusBar_, SW_SHOW);
  }
  if (statusBar_ != nullptr) {
    // Placed again at every layout: the client area changes with the format.
    MoveWindow(statusBar_, 0, client.bottom - kStatusBarHeight, client.right, kStatusBarHeight, TRUE);
    int parts[2] = {kStatusPart0End, client.right};
    SendMessageA(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  }
}

void CaptureDialog::WriteStatusTexts() {
  if (statusBar_ == nullptr || !graph_) return;
  char text[kGrabTextSize + 32];
  std::snprintf(text, sizeof text, "%s: %dx%d", Module().texts.dlgString17, graph_->width(), graph_->height());
  SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
  std::snprintf(text, sizeof text, "%2.1f %2.1f", 0.0, 0.0);
  SendMessageA(statusBar_, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>(text));
}

void CaptureDialog::CreateTooltips() {
  if (tooltip_ == nullptr)
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, Module().instance,
                               nullptr);
  if (tooltip_ == nullptr) return;
  SendMessageA(tooltip_, TTM_ACTIVATE, TRUE, 0);
  SetTooltip(IDC_CAPTURE, IDS_TIP_CAPTURE);
  SetTooltip(IDC_FREEZE, frozen_ ? IDS_TIP_RESUME : IDS_TIP_PAUSE);
  SetTooltip(IDC_MODE, IDS_TIP_MODE);
  SetTooltip(IDOK, IDS_TIP_EXIT);
}

// Adds the control's tool, or changes its text. The tool subclasses its
// control, so mouse messages reach the tooltip whatever loop the host runs.
void CaptureDialog::SetTooltip(int controlId, UINT stringId) {
  if (tooltip_ == nullptr) return;
  HWND control = GetDlgItem(hwnd_, controlId);
  if (control == nullptr) return;
  char text[kTipSize] = {};
  LoadStringA(Module().instance, stringId, text, sizeof text);
  TTTOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = hwnd_;
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.hinst = Module().instance;
  tool.lpszText = text;
  TTTOOLINFOA existing = tool;
  char current[kTipSize] = {};
  existing.lpszText = current;
  if (SendMessageA(tooltip_, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&existing)))
    SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  else
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CaptureDialog::SetButtonTexts() {
  const GrabTexts& t = Module().texts;
  SetDlgItemTextA(hwnd_, IDC_CAPTURE, t.dlgString3);
  SetDlgItemTextA(hwnd_, IDC_MODE, t.dlgString4);
  SetDlgItemTextA(hwnd_, IDC_FREEZE, frozen_ ? t.dlgString6 : t.dlgString5);
  SetDlgItemTextA(hwnd_, IDC_PROPERTY, t.dlgString7);
  SetDlgItemTextA(hwnd_, IDOK, t.dlgString16);
}

ImageInfo CaptureDialog::StreamImageInfo() const {
  if (!graph_) return ImageInfo();
  return MakeImageInfo(graph_->width(), graph_->height(), graph_->frameRate(), graph_->formatCode(),
                       graph_->sizeCode());
}

void CaptureDialog::SendImageInfo(const ImageInfo& info) {
  lastInfo_ = info;
  SendMessageA(host_, WM_UIDLG_HOST, HOST_IMAGE_INFO, reinterpret_cast<LPARAM>(&lastInfo_));
}

}  // namespace z9twn
