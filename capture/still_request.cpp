#include "still_request.h"

#include "ks_requests.h"
#include "still_capture.h"
#include "win_guid.h"

namespace z9twn {

HRESULT RequestStillBufferSize(IKsPropertySet* properties, uint32_t* size) {
  uint8_t request[z9::kStillSizeRequestSize];
  z9::BuildStillBufferSizeRequest(request);
  DWORD returned = 0;
  const HRESULT hr = properties->Get(z9::ToWinGuid(z9::kExtensionPropertySet), z9::kExtStillBufferSize, request,
                                     sizeof request, request, sizeof request, &returned);
  if (SUCCEEDED(hr)) *size = z9::StillBufferSizeOfReply(request);
  return hr;
}

HRESULT RequestStill(IKsPropertySet* properties, uint8_t* buffer, size_t length, DWORD* returned) {
  *returned = 0;
  if (length > 0xFFFFFFFFu || !z9::BuildStillRequest(buffer, length)) return E_INVALIDARG;
  return properties->Get(z9::ToWinGuid(z9::kExtensionPropertySet), z9::kExtStill, buffer,
                         static_cast<DWORD>(length), buffer, static_cast<DWORD>(length), returned);
}

uint32_t QueryStillBufferSize(IKsPropertySet* properties) {
  if (properties == nullptr) return kStillBufferSizeFallback;
  uint32_t size = 0;
  if (FAILED(RequestStillBufferSize(properties, &size))) return kStillBufferSizeFallback;
  if (size == 0 || size > kStillBufferSizeLimit) return kStillBufferSizeFallback;
  return size;
}

}  // namespace z9twn
