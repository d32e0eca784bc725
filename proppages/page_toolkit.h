// A property page that talks to the camera through the capture filter it was
// handed (object 0): the camera's own controls with dirty marking, and the
// process-wide tables some page classes keep. Every page of the library
// derives from it; a page file then holds only its own rows, initialisation,
// actions, Default/Reset and take-back.
#pragma once
#include "access/control_tables.h"
#include "page_base.h"

namespace z9 {

class CameraPage : public PageBase {
 public:
  using PageBase::PageBase;

 protected:
  // GET of the camera's control `id` into `record` (kept as it was when the
  // request fails).
  HRESULT GetExtControl(ULONG id, ControlInfo* record);
  // SET of the camera's control `id`; marks the page dirty whatever the result.
  HRESULT SetExtControl(ULONG id, const ControlInfo& record);
  // The running stream (type 0 = none); all three 0 when the request fails.
  HRESULT GetStreamInfo(int* type, int* width, int* height);
};

// A page of the standard camera property sets, with the three operations
// that follow the IPropertyPage slots in this order. All work on object 0.
class StandardControlPage : public CameraPage {
 public:
  using CameraPage::CameraPage;

  // SET of the entry's working state; marks the page dirty unless the request
  // was sent and failed.
  virtual HRESULT SetControl(const GUID& set, ULONG id, camprop::StandardControl* entry);
  // GET into the entry's working state.
  virtual HRESULT GetControl(const GUID& set, ULONG id, camprop::StandardControl* entry);
  // GET plus access, range and default into a cleared entry.
  virtual HRESULT GetControlRange(const GUID& set, ULONG id, camprop::StandardControl* entry);
};

// One table per page class and process, shared by every instance of the
// class (`Owner`): the later initialisation of a page of the class wins.
template <class Owner, class Table>
Table& ProcessWideTable() {
  static Table table;
  return table;
}

}  // namespace z9
