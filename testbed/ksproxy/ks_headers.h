// The Windows SDK headers of the kernel-streaming proxy, in the order they need.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>
#include <winioctl.h>
#include <strmif.h>
#include <ks.h>
#include <ksmedia.h>
#include <ksproxy.h>
#include <uuids.h>
#include <vfwmsgs.h>
#include <amvideo.h>

// IKsObject: the SDK declares it only together with the DirectShow base classes.
#ifndef __STREAMS__
// {423C13A2-2070-11D0-9EF7-00AA00A216A1}
inline constexpr IID kIID_IKsObject = {0x423C13A2, 0x2070, 0x11D0, {0x9E, 0xF7, 0x00, 0xAA, 0x00, 0xA2, 0x16, 0xA1}};
struct IKsObjectItf : public IUnknown {
  virtual HANDLE STDMETHODCALLTYPE KsGetObjectHandle() = 0;
};
#endif
