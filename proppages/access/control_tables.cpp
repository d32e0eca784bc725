#include "control_tables.h"

#include <cstring>

namespace z9::camprop {

void StandardControlTable::Clear() { std::memset(entries_, 0, sizeof entries_); }

StandardControl& StandardControlTable::Scratch() const {
  static StandardControl scratch;
  scratch = StandardControl{};
  return scratch;
}

void ExtControlTable::Clear() {
  std::memset(working_, 0, sizeof working_);
  std::memset(baseline_, 0, sizeof baseline_);
}

void ExtControlTable::ClearWorking() { std::memset(working_, 0, sizeof working_); }

void ExtControlTable::Commit() { std::memcpy(baseline_, working_, sizeof baseline_); }

ControlInfo& ExtControlTable::Scratch() const {
  static ControlInfo scratch;
  scratch = ControlInfo{};
  return scratch;
}

}  // namespace z9::camprop
