// Declares the stand-in's creation function under the page's own name.
#pragma once
#include "page_base.h"

namespace z9 {
PageBase* CreateDefaultPage1();  // new object, one reference
}  // namespace z9
