// The DirectShow objects behind the capture dialog: the camera's capture
// filter found by its friendly name, the capture graph with its preview
// renderer and video window, the stream format, the frame statistics, the
// two property frames, and the still buffer.
#pragma once
#include <windows.h>
#include <dshow.h>

#include <cstdint>

#include "grab_texts.h"
#include "notifier.h"
#include "still_capture.h"
#include "win_handles.h"

namespace z9twn {

// Class id text the camera's capture filter must carry (the kernel-streaming proxy).
constexpr char kProxyClassIdText[] = "{17CCA71B-ECD7-11D0-B908-00A0C9223196}";
constexpr size_t kDeviceTextSize = 80;

class PreviewGraph {
 public:
  PreviewGraph(const char* deviceName, const GrabTexts& texts, Notifier* notifier);
  ~PreviewGraph();  // teardown: stop, 500 ms, remove what follows the camera, release, free the still buffer
  PreviewGraph(const PreviewGraph&) = delete;
  PreviewGraph& operator=(const PreviewGraph&) = delete;

  int BuildGraph();
  int ConnectPreview();
  void ReadStreamFormat();
  void PlaceVideoWindow(HWND pane);
  int RunGraph();
  int PauseGraph();
  int StopGraph();
  void ShowFormatPages(HWND owner);
  void ShowCameraPages(HWND owner);
  // One statistics tick: "%2.1f %2.1f" into `text` (delivered and dropped
  // frames per second); false when there are no counters.
  bool UpdateStatistics(char* text, size_t size);
  void StartStatistics();  // takes the reference tick
  // Property 61 and a new still buffer of that size.
  void QueryStillBufferSize();
  bool TakeStill(StillPicture* out);

  int width() const { return width_; }
  int height() const { return height_; }
  int frameRate() const { return frameRate_; }
  uint8_t formatCode() const { return formatCode_; }
  uint8_t sizeCode() const { return sizeCode_; }
  bool noPreviewPin() const { return noPreviewPin_; }
  uint32_t stillBufferSize() const { return still_.size(); }
  IVideoWindow* videoWindow() const { return videoWindow_.get(); }

 private:
  void RemoveDownstream(IBaseFilter* filter);
  void TearDownPreview();
  void ShowPages(HWND owner, IUnknown* pagesOwner, IUnknown* object);

  const char* deviceName_;
  const GrabTexts& texts_;
  Notifier* notifier_;

  z9::ComPtr<ICaptureGraphBuilder> builder_;
  z9::ComPtr<IGraphBuilder> graph_;
  z9::ComPtr<IBaseFilter> camera_;
  z9::ComPtr<IKsPropertySet> properties_;
  z9::ComPtr<IAMStreamConfig> streamConfig_;
  z9::ComPtr<IVideoWindow> videoWindow_;
  z9::ComPtr<IAMDroppedFrames> dropped_;
  bool noPreviewPin_ = false;

  int width_ = 0;
  int height_ = 0;
  int frameRate_ = 30;
  uint8_t formatCode_ = 1;
  uint8_t sizeCode_ = 0;

  long droppedBefore_ = 0;
  long deliveredBefore_ = 0;
  DWORD referenceTick_ = 0;

  char classIdText_[kDeviceTextSize] = {};
  char friendlyText_[kDeviceTextSize] = {};

  StillBuffer still_;
};

}  // namespace z9twn
