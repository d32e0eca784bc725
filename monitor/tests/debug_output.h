// The debugger output (OutputDebugString) of this process while one
// DebugOutput is alive, caught as the exception the call raises.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class DebugOutput {
 public:
  DebugOutput() {
    Current() = this;
    handler_ = AddVectoredExceptionHandler(1, &DebugOutput::Handler);
  }
  ~DebugOutput() {
    if (handler_ != nullptr) RemoveVectoredExceptionHandler(handler_);
    Current() = nullptr;
  }
  DebugOutput(const DebugOutput&) = delete;
  DebugOutput& operator=(const DebugOutput&) = delete;

  std::vector<std::string> lines;

 private:
  static DebugOutput*& Current() {
    static DebugOutput* current = nullptr;
    return current;
  }
  static LONG CALLBACK Handler(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    if (r->ExceptionCode == 0x40010006 /* DBG_PRINTEXCEPTION_C */ && r->NumberParameters >= 2 && Current()) {
      const char* text = reinterpret_cast<const char*>(r->ExceptionInformation[1]);
      if (text != nullptr) Current()->lines.emplace_back(text);
    }
    return EXCEPTION_CONTINUE_SEARCH;
  }
  void* handler_ = nullptr;
};
