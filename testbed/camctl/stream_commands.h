// camctl commands for the stand-in capture filter's stream and the video
// input device list; they need no driver.
#pragma once

namespace camctl {

extern const char kStreamUsage[];
// Runs argv[1] when it is one of these commands: *handled = true and the exit code.
int StreamCommand(int argc, char** argv, bool* handled);

}  // namespace camctl
