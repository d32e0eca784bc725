// The command words of WinMainRmv: the whole command text, compared exactly
// and case-sensitively.
#pragma once

namespace z9rmv {

enum class CommandWord {
  Uninstall,     // empty text: interactive uninstall
  Silent,        // "/Silent"
  Start,         // "/Start": nothing
  StartMonitor,  // "/StartStillMnt"
  StopMonitor,   // "/StopStillMnt"
  Install9X,     // "/Install9X": nothing
  Other,         // any other text: nothing
};

CommandWord ParseCommandWord(const char* commandText);

}  // namespace z9rmv
