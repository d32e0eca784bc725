// A Notifier that records instead of showing boxes and playing sounds.
#pragma once
#include <string>
#include <vector>

#include "notifier.h"

class RecordingNotifier final : public z9twn::Notifier {
 public:
  struct Box {
    HWND owner;
    std::string text;
    UINT flags;
  };
  std::vector<Box> boxes;
  int sounds = 0;

  void ShowMessage(HWND owner, const char* text, UINT flags) override { boxes.push_back({owner, text, flags}); }
  void PlayCaptureSound() override { ++sounds; }

  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const Box& b : boxes) t.push_back(b.text);
    return t;
  }
};
