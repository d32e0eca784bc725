// The kernel-streaming proxy filter object: a DirectShow filter standing for
// one capture device.  It forwards IKsControl and IKsPropertySet to the
// device as IOCTL_KS_PROPERTY requests, lists the property pages registered
// for the property sets the device supports, and is found by the system
// device enumerator (IPersistPropertyBag reads the device path).  Its video
// pins (a capture pin and, unless the bench switched it off, a preview pin)
// share one stream format and stream while the filter runs.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "ks_headers.h"
#include "video_pin.h"

namespace z9proxy {

class ProxyFilter final : public IBaseFilter,
                          public IKsControl,
                          public IKsPropertySet,
                          public ISpecifyPropertyPages,
                          public IPersistPropertyBag,
                          public IAMFilterMiscFlags,
                          public IKsObjectItf,
                          private PinHost {
 public:
  // CoCreateInstance path; aggregation is not offered.
  static HRESULT Create(IUnknown* outer, REFIID iid, void** out);

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IPersist
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  // IMediaFilter
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

  // IKsControl
  STDMETHODIMP KsProperty(PKSPROPERTY property, ULONG propertyLength, LPVOID data, ULONG dataLength,
                          ULONG* returned) override;
  STDMETHODIMP KsMethod(PKSMETHOD method, ULONG methodLength, LPVOID data, ULONG dataLength,
                        ULONG* returned) override;
  STDMETHODIMP KsEvent(PKSEVENT event, ULONG eventLength, LPVOID data, ULONG dataLength, ULONG* returned) override;

  // IKsPropertySet
  STDMETHODIMP Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength, LPVOID data,
                   DWORD dataLength) override;
  STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceLength, LPVOID data, DWORD dataLength,
                   DWORD* returned) override;
  STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  // ISpecifyPropertyPages
  STDMETHODIMP GetPages(CAUUID* pages) override;

  // IPersistPropertyBag
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  // IAMFilterMiscFlags
  STDMETHODIMP_(ULONG) GetMiscFlags() override;

  // IKsObject
  HANDLE STDMETHODCALLTYPE KsGetObjectHandle() override;

 private:
  ProxyFilter();
  ~ProxyFilter();
  ProxyFilter(const ProxyFilter&) = delete;
  ProxyFilter& operator=(const ProxyFilter&) = delete;

  // PinHost
  IBaseFilter* Filter() override { return this; }
  void CurrentFormat(size_t* index, REFERENCE_TIME* frameTime) override;
  HRESULT SetStreamFormat(const AM_MEDIA_TYPE& mt) override;
  FILTER_STATE StreamState() override;
  bool StreamTime(REFERENCE_TIME* now) override;
  void FrameCounts(LONG* delivered, LONG* dropped) override;
  // Connects `pin` again to its peer with the current format (stopped graph).
  HRESULT Reconnect(VideoPin* pin);

  // Opens the device (the loaded device path, else the camera) once.
  HRESULT OpenDevice(HANDLE* device);
  // A property request built like the system proxy does: the header, then
  // the instance data, as the input; the property data as the output.
  HRESULT Property(const GUID& set, ULONG id, ULONG flags, const void* instance, ULONG instanceLength, void* data,
                   ULONG dataLength, ULONG* returned);
  HRESULT Device(ULONG code, void* in, ULONG inLength, void* out, ULONG outLength, ULONG* returned);

  LONG refs_ = 1;
  CRITICAL_SECTION lock_;
  HANDLE device_ = INVALID_HANDLE_VALUE;
  std::string devicePath_;
  FILTER_STATE state_ = State_Stopped;
  IReferenceClock* clock_ = nullptr;
  IFilterGraph* graph_ = nullptr;  // not held: the graph holds the filter
  WCHAR name_[MAX_FILTER_NAME] = {};
  REFERENCE_TIME start_ = 0;        // stream time origin of Run
  CRITICAL_SECTION stateLock_;      // orders state and format changes; never taken by a streaming thread
  size_t format_ = 0;               // index into the bench formats
  REFERENCE_TIME frameTime_ = 0;
  std::vector<std::unique_ptr<VideoPin>> videoPins_;
  std::vector<IPin*> pins_;  // the same pins, for enumeration (not add-ref'd here)
};

}  // namespace z9proxy
