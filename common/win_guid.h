// The portable property-set identifiers as Windows GUIDs.
#pragma once
#include <windows.h>

#include "ks_requests.h"

namespace z9 {

inline GUID ToWinGuid(const Guid& g) {
  GUID out;
  out.Data1 = g.data1;
  out.Data2 = g.data2;
  out.Data3 = g.data3;
  for (int i = 0; i < 8; ++i) out.Data4[i] = g.data4[i];
  return out;
}

}  // namespace z9
