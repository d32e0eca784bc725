// The two still requests to the camera through the capture filter's
// property-set interface (extension set ids 61 and 34). The same record is
// passed as instance data and as property data, each with its full length.
#pragma once
#include <windows.h>
#include <strmif.h>

#include <cstddef>
#include <cstdint>

namespace z9twn {

// Property 61 into a 32-byte record; the announced size on success.
HRESULT RequestStillBufferSize(IKsPropertySet* properties, uint32_t* size);

// Property 34 into the whole still buffer (header written at its start);
// E_INVALIDARG when the buffer cannot hold the header.
HRESULT RequestStill(IKsPropertySet* properties, uint8_t* buffer, size_t length, DWORD* returned);

}  // namespace z9twn
