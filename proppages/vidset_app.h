// The library's application object: module start and end. It holds no
// objects of its own, so only the module lock count decides unloading.
#pragma once
#include <windows.h>

namespace z9 {

class CVidsetApp {
 public:
  // Start: the module's instance handle for resources and the class table
  // ready to hand out factories.
  void InitInstance(HINSTANCE instance);
  // End: the cached class factories are released.
  void ExitInstance();
};

CVidsetApp& TheApp();

}  // namespace z9
