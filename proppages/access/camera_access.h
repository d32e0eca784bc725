// Requests a property page sends to the camera through the capture filter it
// was handed (object 0): IKsControl for the standard video proc amp and camera
// control sets, IKsPropertySet for the camera's own control set and the
// running-stream query. Each call obtains its interface by QueryInterface,
// releases it before returning and reports a failed QueryInterface as its
// result. Every layout is built and read through ks_requests.h.
#pragma once
#include <windows.h>
#include <objbase.h>

#include "control_info.h"
#include "control_tables.h"

namespace z9::camprop {

// A call that succeeded but answered fewer bytes than its layout needs.
constexpr HRESULT kShortAnswer = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
// Largest property description a range query accepts.
constexpr ULONG kMaxDescriptionSize = 4096;

// Fills a cleared `entry`: the GET into working state and baseline, then
// Supported, Minimum, Maximum and Step from the basic-support queries and
// Default from the default-values queries. Returns the GET's result.
HRESULT GetControlRange(IUnknown* object, const GUID& set, ULONG id, StandardControl* entry);

// GET: on success the answer's Value, Flags and Capabilities become the
// entry's working state.
HRESULT GetControl(IUnknown* object, const GUID& set, ULONG id, StandardControl* entry);

// SET of the entry's working Value, Flags and Capabilities. `requestFailed`
// (may be null) is true only when the request itself was sent and failed --
// a failed QueryInterface does not count as a failed request.
HRESULT SetControl(IUnknown* object, const GUID& set, ULONG id, const StandardControl& entry,
                   bool* requestFailed = nullptr);

// GET of the camera's control `id`: on success `record` receives the answer;
// on failure it keeps what it held.
HRESULT GetExtControl(IUnknown* object, ULONG id, ControlInfo* record);

// SET of the camera's control `id` with `record`.
HRESULT SetExtControl(IUnknown* object, ULONG id, const ControlInfo& record);

// The running stream: type (0 = no stream), frame width and height. All three
// are 0 when the request fails.
HRESULT GetStreamInfo(IUnknown* object, int* type, int* width, int* height);

}  // namespace z9::camprop
