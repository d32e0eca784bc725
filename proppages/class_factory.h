// The class factory of one page class: plain and aggregated creation, and
// server locks. The class table's cache holds one reference; every further
// reference locks the module, so a client holding a factory keeps the
// library loaded.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include "class_table.h"

namespace z9 {

class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(const ClassEntry* entry) : entry_(entry) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  STDMETHODIMP LockServer(BOOL lock) override;

 private:
  ~ClassFactory() = default;
  const ClassEntry* entry_;
  LONG refs_ = 1;  // the cache's reference
};

}  // namespace z9
