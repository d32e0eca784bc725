// The debug log: one list box line per call, only in debug mode.
#pragma once
#include <cstdarg>
#include <cstddef>

namespace z9mnt {

constexpr size_t kLogLineSize = 504;

// printf-style. Does nothing unless DebugMode is set. Adds the line, makes it
// the current one, then handles every message waiting in the calling thread's
// queue and repaints the list. A worker thread's line is a synchronous send
// to the main thread, which owns the list box.
void LogLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats into a line buffer; a longer result is cut to kLogLineSize - 1
// characters. Returns the length of the line.
size_t FormatLogLine(char (&line)[kLogLineSize], const char* format, va_list args);

}  // namespace z9mnt
