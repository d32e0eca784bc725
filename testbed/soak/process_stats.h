// What another process holds, read from outside it: handles, threads and
// private memory. A figure the system cannot give is -1, never a guess.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace z9soak {

struct ProcessStats {
  long handles = -1;
  long threads = -1;
  int64_t privateBytes = -1;
};

// Where a handle count comes from: the process's own counter or the
// system's handle table. Systems differ in which of them count (a live
// process never holds 0 handles, so 0 means "not counted"). The handle count
// of the system's process list is left out: Wine reports the size of the
// process's handle table there, which grows and never shrinks.
enum class HandleSource { OwnCounter, HandleTable, None };

// The first source that counts the handles of `pid`. One source serves a
// whole run, so that start and end values compare.
HandleSource ChooseHandleSource(DWORD pid);
const char* HandleSourceName(HandleSource source);

// Reads the three figures of process `pid`.
ProcessStats MeasureProcess(DWORD pid, HandleSource source);

// The handle values `pid` holds now, from the system's handle table (empty
// where the table is not available).
std::vector<unsigned> HandleValues(DWORD pid);

// "type name" of handle `value` of process `pid` (copied into this process
// to ask), or "?" when it cannot be copied or asked.
std::string DescribeHandle(DWORD pid, unsigned value);

// Threads of `pid` in a Toolhelp snapshot; -1 when no snapshot can be had.
long CountThreads(DWORD pid);

}  // namespace z9soak
