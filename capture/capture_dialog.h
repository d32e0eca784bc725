// CaptureDialog: the modeless dialog of template 129 with its buttons, preview
// pane, status bar and tooltips; the start sequence, the layout per stream
// format, the handlers, the messages to the host and the teardown.
#pragma once
#include <windows.h>

#include <memory>

#include "host_protocol.h"
#include "notifier.h"
#include "preview_graph.h"

namespace z9twn {

constexpr UINT_PTR STATS_TIMER_ID = 8000;
constexpr UINT kStatsPeriodMs = 1000;

class CaptureDialog {
 public:
  CaptureDialog(HWND host, Notifier* notifier);
  ~CaptureDialog();  // teardown, in order: timer, status bar, pane, graph, COM, tooltips, window
  CaptureDialog(const CaptureDialog&) = delete;
  CaptureDialog& operator=(const CaptureDialog&) = delete;

  // Creates the window from template 129 owned by the host; the start
  // sequence runs inside. The window handle, or nullptr.
  HWND Create();
  HWND hwnd() const { return hwnd_; }

  // A dialog destroyed while one of its own handlers runs (a host answering
  // HOST_CLOSE_REQUEST at once) goes when the outermost handler returns.
  // Hold() / Release() bracket such a stretch from outside; Release() returns
  // true when it destroyed the dialog.
  void Hold() { ++depth_; }
  bool Release();
  // Destroys now, or as soon as no handler of the dialog runs.
  static void Destroy(CaptureDialog* dialog);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT msg, WPARAM wParam, LPARAM lParam);
  BOOL OnInitDialog();
  void OnCommand(int id, int code);
  void OnCapture();
  void OnFreeze();
  void OnMode();
  void OnProperty();
  void OnClose();
  void OnTimer();
  void OnWindowDestroyed();
  void OnWindowGone();
  void ReleaseGraph();
  void Layout();
  void WriteStatusTexts();
  void CreateTooltips();
  void SetTooltip(int controlId, UINT stringId);
  void SetButtonTexts();
  void SendImageInfo(const ImageInfo& info);
  ImageInfo StreamImageInfo() const;

  HWND host_;
  Notifier* notifier_;
  HWND hwnd_ = nullptr;
  HWND pane_ = nullptr;
  HWND statusBar_ = nullptr;
  HWND tooltip_ = nullptr;
  HICON icon_ = nullptr;
  std::unique_ptr<PreviewGraph> graph_;
  bool comInitialized_ = false;
  bool timerRunning_ = false;
  int captureBusy_ = 0;
  int frozen_ = 0;
  ImageInfo lastInfo_ = {};
  char error178_[32] = "ERROR 178:9791";

  int depth_ = 0;
  bool doomed_ = false;
  bool tearingDown_ = false;
  // The window went without RemoveUIDlg (with its owner, the host window);
  // the graph goes as soon as no handler of the dialog uses it.
  bool windowGone_ = false;
};

}  // namespace z9twn
