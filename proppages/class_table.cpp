#include "class_table.h"

#include <new>

#include "class_factory.h"
#include "video_proc_amp_page.h"
#include "camera_control_page.h"
#include "page_clsids.h"
#include "property_page.h"
#include "image_control_page.h"

namespace z9 {
namespace {

ClassEntry g_classes[] = {
    {&CLSID_PropPage1, CreatePropPage1, "PropPage1 Class", "Vidset.PropPage1.1", "Vidset.PropPage1", nullptr},
    {&CLSID_PropPage2, CreatePropPage2, "PropPage2 Class", "Vidset.PropPage2.1", "Vidset.PropPage2", nullptr},
    {&CLSID_DefaultPage1, CreateDefaultPage1, "DefaultPage1 Class", "Vidset.DefaultPage1.1", "Vidset.DefaultPage1",
     nullptr},
    {&CLSID_DefaultPage2, CreateDefaultPage2, "DefaultPage2 Class", "Vidset.DefaultPage2.1", "Vidset.DefaultPage2",
     nullptr},
};

}  // namespace

ClassEntry* ClassTable() { return g_classes; }
size_t ClassTableSize() { return sizeof g_classes / sizeof g_classes[0]; }

ClassEntry* FindClass(REFCLSID clsid) {
  for (ClassEntry& e : g_classes)
    if (IsEqualCLSID(*e.clsid, clsid)) return &e;
  return nullptr;
}

HRESULT GetClassFactory(ClassEntry* entry, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (entry == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  if (entry->factory == nullptr) {
    entry->factory = new (std::nothrow) ClassFactory(entry);
    if (entry->factory == nullptr) return E_OUTOFMEMORY;
  }
  return entry->factory->QueryInterface(iid, out);
}

void ReleaseClassFactories() {
  for (ClassEntry& e : g_classes) {
    if (e.factory != nullptr) {
      ClassFactory* f = e.factory;
      e.factory = nullptr;
      f->Release();
    }
  }
}

}  // namespace z9
