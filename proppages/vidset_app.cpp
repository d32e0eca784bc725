#include "vidset_app.h"

#include "class_table.h"
#include "page_base.h"

namespace z9 {

void CVidsetApp::InitInstance(HINSTANCE instance) {
  SetModuleInstance(instance);
}

void CVidsetApp::ExitInstance() {
  ReleaseClassFactories();
}

CVidsetApp& TheApp() {
  static CVidsetApp app;
  return app;
}

}  // namespace z9
