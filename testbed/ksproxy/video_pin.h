// One video output pin of the stand-in capture filter (capture or preview):
// media types from the bench formats, allocator negotiation with the
// downstream input pin, a streaming thread that paints and delivers frames at
// the format's rate while the filter runs, the pin category, the stream
// configuration, the dropped-frame counters and the bench's format page.
#pragma once
#include <cstdint>

#include "frame_painter.h"
#include "ks_headers.h"
#include "video_formats.h"

namespace z9proxy {

// What a pin needs from its filter.
class PinHost {
 public:
  virtual IBaseFilter* Filter() = 0;  // not add-ref'd; the pins' references go to it
  virtual void CurrentFormat(size_t* index, REFERENCE_TIME* frameTime) = 0;
  virtual HRESULT SetStreamFormat(const AM_MEDIA_TYPE& mt) = 0;
  virtual FILTER_STATE StreamState() = 0;
  // The stream time now; false while not running or without a clock.
  virtual bool StreamTime(REFERENCE_TIME* now) = 0;
  // Frames delivered and dropped by all the filter's pins together.
  virtual void FrameCounts(LONG* delivered, LONG* dropped) = 0;

 protected:
  ~PinHost() = default;
};

class VideoPin final : public IPin,
                       public IKsPropertySet,
                       public IAMStreamConfig,
                       public IAMDroppedFrames,
                       public ISpecifyPropertyPages {
 public:
  // A pin that is `rgbOnly` (the preview pin) delivers RGB24 at the stream's
  // size whatever the stream format is, so that a video renderer can show it.
  VideoPin(PinHost* host, const WCHAR* name, const GUID& category, bool rgbOnly);
  ~VideoPin();
  VideoPin(const VideoPin&) = delete;
  VideoPin& operator=(const VideoPin&) = delete;

  // Leaving the stopped state: commits the allocator and starts the thread
  // (an unconnected pin does nothing).  Stop: ends the thread, decommits.
  HRESULT Active();
  void Inactive();
  bool IsConnected();
  // This pin's own frame counts since streaming started.
  void OwnCounts(LONG* delivered, LONG* dropped);
  // Copies up to `size` of the numbers of the latest frames this pin dropped.
  LONG DroppedNumbers(LONG* frames, LONG size);

  // IUnknown: the references are the filter's.
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPin
  STDMETHODIMP Connect(IPin* receive, const AM_MEDIA_TYPE* mt) override;
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override;
  STDMETHODIMP QueryId(LPWSTR* id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* mt) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
  STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // IKsPropertySet: AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY only.
  STDMETHODIMP Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength, LPVOID data,
                   DWORD dataLength) override;
  STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength, LPVOID data, DWORD dataLength,
                   DWORD* returned) override;
  STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  // IAMStreamConfig
  STDMETHODIMP SetFormat(AM_MEDIA_TYPE* mt) override;
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE** mt) override;
  STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
  STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) override;

  // IAMDroppedFrames
  STDMETHODIMP GetNumDropped(LONG* dropped) override;
  STDMETHODIMP GetNumNotDropped(LONG* delivered) override;
  STDMETHODIMP GetDroppedInfo(LONG size, LONG* frames, LONG* copied) override;
  STDMETHODIMP GetAverageFrameSize(LONG* size) override;

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pages) override;

 private:
  static DWORD WINAPI ThreadEntry(void* self);
  void Stream();
  void DeliverOne(uint32_t number, REFERENCE_TIME frameTime, ULONGLONG index);
  void NoteDropped(uint32_t number);
  HRESULT NegotiateAllocator(IPin* receive, const AM_MEDIA_TYPE& mt);
  void ReleaseConnection();
  // The format this pin delivers: the stream's, or its RGB24 equivalent.
  void PinFormat(size_t* index, REFERENCE_TIME* frameTime);

  PinHost* host_;
  WCHAR name_[MAX_PIN_NAME] = {};
  GUID category_;
  bool rgbOnly_;
  CRITICAL_SECTION lock_;

  // The connection.  The streaming thread uses input_ and allocator_ without
  // the lock: they change only in Connect and Disconnect, which need a stopped
  // filter, and Stop ends the thread first.
  IPin* connected_ = nullptr;
  IMemInputPin* input_ = nullptr;
  IMemAllocator* allocator_ = nullptr;
  AM_MEDIA_TYPE mt_{};

  HANDLE thread_ = nullptr;
  HANDLE stop_ = nullptr;  // manual reset: set while the thread must end
  size_t format_ = 0;      // what the thread paints, fixed while streaming
  uint32_t dropEvery_ = 0;
  bool discontinuity_ = true;
  FramePainter painter_;  // used by the streaming thread only

  static constexpr LONG kDroppedKept = 64;
  LONG delivered_ = 0;
  LONG dropped_ = 0;
  LONG droppedNumbers_[kDroppedKept] = {};
};

}  // namespace z9proxy
