#include "app_state.h"

namespace z9app {

AppState g_app;

}  // namespace z9app
