// A critical section and its scoped lock. The deliverables use the Win32
// primitives directly: the thread library of the C++ runtime is not linked in
// (it needs functions that the older Windows versions do not have).
#pragma once
#include <windows.h>

namespace z9 {

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&cs_); }
  ~CriticalSection() { DeleteCriticalSection(&cs_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { EnterCriticalSection(&cs_); }
  void Leave() { LeaveCriticalSection(&cs_); }

 private:
  CRITICAL_SECTION cs_;
};

class ScopedLock {
 public:
  explicit ScopedLock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~ScopedLock() { cs_.Leave(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

 private:
  CriticalSection& cs_;
};

}  // namespace z9
