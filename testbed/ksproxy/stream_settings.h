// The stream settings a test leaves for the filter (include/bench_stream.h).
#pragma once
#include <windows.h>

namespace z9proxy {

// The DWORD value `name` of the bench's stream key, `fallback` when absent.
DWORD StreamSetting(const char* name, DWORD fallback);

}  // namespace z9proxy
