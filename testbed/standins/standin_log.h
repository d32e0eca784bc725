// Records of the stand-in outside programs: one line per start, appended to a
// file under C:\bench that tests read back.
#pragma once

namespace z9bench {

inline constexpr char kStandinLogDir[] = "C:\\bench";

// Appends `line` and a line break to C:\bench\<fileName>; false on failure.
bool AppendStandinLog(const char* fileName, const char* line);

// The command line without the program name (what the program was given).
const char* ArgumentsOf(const char* commandLine);

}  // namespace z9bench
