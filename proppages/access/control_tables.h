// The records in which a page keeps its camera controls: one StandardControl
// per standard property id (working state plus the committed baseline), and
// the camera's own controls as a working copy and a baseline copy.
#pragma once
#include <cstddef>
#include <cstdint>

#include "control_info.h"

namespace z9::camprop {

constexpr size_t kControlIds = 20;  // property ids 0..19 of every table

struct StandardControl {
  // What the page last sent or read.
  int32_t Value;
  int32_t Flags;
  int32_t Capabilities;
  // Supported, range and default as read; Value, Flags and Capabilities of
  // the last commit.
  ControlInfo Baseline;

  bool Supported() const { return Baseline.Supported == 1; }
  // Working Value or Flags differ from the baseline.
  bool Changed() const { return Value != Baseline.Value || Flags != Baseline.Flags; }
  // The working state becomes the baseline (Apply).
  void Commit() {
    Baseline.Value = Value;
    Baseline.Flags = Flags;
    Baseline.Capabilities = Capabilities;
  }
  // The baseline becomes the working state again (close without Apply).
  void TakeBack(bool withCapabilities) {
    Value = Baseline.Value;
    Flags = Baseline.Flags;
    if (withCapabilities) Capabilities = Baseline.Capabilities;
  }
};

// Indexed by property id; an id outside 0..19 gets a scratch entry, so a
// stray id never reaches past the table.
class StandardControlTable {
 public:
  void Clear();
  StandardControl& operator[](size_t id) { return id < kControlIds ? entries_[id] : Scratch(); }
  const StandardControl& operator[](size_t id) const { return id < kControlIds ? entries_[id] : Scratch(); }

 private:
  StandardControl& Scratch() const;
  StandardControl entries_[kControlIds] = {};
};

class ExtControlTable {
 public:
  void Clear();         // both copies
  void ClearWorking();  // the working copy only
  void Commit();        // working copy onto the baseline copy
  ControlInfo& Working(size_t id) { return id < kControlIds ? working_[id] : Scratch(); }
  ControlInfo& Baseline(size_t id) { return id < kControlIds ? baseline_[id] : Scratch(); }
  const ControlInfo& Working(size_t id) const { return id < kControlIds ? working_[id] : Scratch(); }
  const ControlInfo& Baseline(size_t id) const { return id < kControlIds ? baseline_[id] : Scratch(); }

 private:
  ControlInfo& Scratch() const;
  ControlInfo working_[kControlIds] = {};
  ControlInfo baseline_[kControlIds] = {};
};

}  // namespace z9::camprop
