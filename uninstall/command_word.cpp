#include "command_word.h"

#include <cstring>

namespace z9rmv {

CommandWord ParseCommandWord(const char* commandText) {
  // No text at all is not an empty one: a caller that passes nothing asks
  // for nothing, and an uninstall is never started by accident.
  if (commandText == nullptr) return CommandWord::Other;
  if (commandText[0] == '\0') return CommandWord::Uninstall;
  struct Word {
    const char* text;
    CommandWord word;
  };
  static const Word kWords[] = {
      {"/Silent", CommandWord::Silent},
      {"/Start", CommandWord::Start},
      {"/StartStillMnt", CommandWord::StartMonitor},
      {"/StopStillMnt", CommandWord::StopMonitor},
      {"/Install9X", CommandWord::Install9X},
  };
  for (const Word& w : kWords)
    if (std::strcmp(commandText, w.text) == 0) return w.word;
  return CommandWord::Other;
}

}  // namespace z9rmv
