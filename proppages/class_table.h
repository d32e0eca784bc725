// The classes the library serves, in object-map order, each with its
// registry names and one cached class factory.
#pragma once
#include <windows.h>

#include "page_base.h"

namespace z9 {

class ClassFactory;

struct ClassEntry {
  const CLSID* clsid;
  PageBase* (*create)();         // a new plain page object with one reference
  const char* description;       // "PropPage1 Class"
  const char* progId;            // "Vidset.PropPage1.1"
  const char* versionlessProgId;  // "Vidset.PropPage1"
  ClassFactory* factory;         // created on first request, cached
};

// The table: PropPage1, PropPage2, DefaultPage1, DefaultPage2.
ClassEntry* ClassTable();
size_t ClassTableSize();
ClassEntry* FindClass(REFCLSID clsid);

// The cached factory of an entry queried for `iid` (creating it once).
HRESULT GetClassFactory(ClassEntry* entry, REFIID iid, void** out);

// Releases every cached factory (end of the library).
void ReleaseClassFactories();

}  // namespace z9
