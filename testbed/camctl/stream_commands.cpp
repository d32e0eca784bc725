#include "stream_commands.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench_client.h"
#include "stream_control.h"
#include "video_inputs.h"

namespace camctl {

const char kStreamUsage[] =
    "  preview on|off              whether new capture filters have a preview pin\n"
    "  drops [offset=N] [every=N]  dropped-frame counts: N added / every Nth frame dropped;\n"
    "                              without arguments shows the stream settings\n"
    "  stream-format N             start format of new capture filters (0-11, see include/bench_stream.h)\n"
    "  stream-faults [setformat] [getformat] [nodropped] [run] [zerorate]\n"
    "                              failures of the filter's stream interfaces (none: no failure)\n"
    "  stream-reset                stream settings back to the defaults\n"
    "  videoinputs list|default|none|add-other|add-second [DEVICE]|no-name\n"
    "                              the video input devices the system device enumerator lists\n";

namespace {

using namespace z9bench;

int Error(const std::string& what) {
  std::fprintf(stderr, "camctl: %s\n", what.c_str());
  return 1;
}

int VideoInputs(int argc, char** argv) {
  const std::string op = argc > 2 ? argv[2] : "list";
  std::string error;
  bool ok = true;
  if (op == "list") {
    for (const auto& e : ListVideoInputs())
      std::printf("%s: FriendlyName=%s CLSID=%s DevicePath=%s\n", e.key.c_str(),
                  e.hasFriendlyName ? ("\"" + e.friendlyName + "\"").c_str() : "(none)", e.clsid.c_str(),
                  e.devicePath.c_str());
    return 0;
  }
  if (op == "default") {
    ok = ResetVideoInputs(&error);
  } else if (op == "none") {
    RemoveVideoInputs();
  } else if (op == "add-other") {
    ok = AddOtherClassVideoInput(&error);
  } else if (op == "add-second") {
    const char* device = nullptr;
    if (argc > 3) {
      if (!lstrcmpiA(argv[3], "camera")) device = kCameraInstanceId;
      else if (!lstrcmpiA(argv[3], "second")) device = kSecondInstanceId;
      else if (!lstrcmpiA(argv[3], "foreign")) device = kForeignInstanceId;
      else device = argv[3];
    }
    ok = AddSecondCameraVideoInput(device, &error);
  } else if (op == "no-name") {
    ok = RemoveCameraFriendlyName(&error);
  } else {
    return 2;
  }
  return ok ? 0 : Error(error);
}

bool Field(const char* arg, const char* name, uint32_t* value) {
  const size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) != 0 || arg[n] != '=') return false;
  char* end = nullptr;
  const unsigned long v = std::strtoul(arg + n + 1, &end, 0);
  if (*end) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

int StreamCommand(int argc, char** argv, bool* handled) {
  *handled = true;
  const std::string cmd = argv[1];
  if (cmd == "preview") {
    if (argc < 3 || (lstrcmpiA(argv[2], "on") && lstrcmpiA(argv[2], "off"))) return 2;
    StreamSettings s = GetStreamSettings();
    s.previewPin = !lstrcmpiA(argv[2], "on");
    return SetStreamSettings(s) ? 0 : Error("writing the stream settings");
  }
  if (cmd == "drops") {
    StreamSettings s = GetStreamSettings();
    if (argc == 2) {
      std::printf("preview-pin %d dropped-offset %u drop-every %u format %u faults 0x%X\n", s.previewPin ? 1 : 0,
                  s.droppedOffset, s.dropEvery, s.format, s.faults);
      return 0;
    }
    for (int i = 2; i < argc; ++i)
      if (!Field(argv[i], "offset", &s.droppedOffset) && !Field(argv[i], "every", &s.dropEvery)) return 2;
    return SetStreamSettings(s) ? 0 : Error("writing the stream settings");
  }
  if (cmd == "stream-format") {
    StreamSettings s = GetStreamSettings();
    char* end = nullptr;
    if (argc < 3) return 2;
    const unsigned long n = std::strtoul(argv[2], &end, 0);
    if (*end || n >= Z9B_STREAM_FORMATS) return 2;
    s.format = static_cast<uint32_t>(n);
    return SetStreamSettings(s) ? 0 : Error("writing the stream settings");
  }
  if (cmd == "stream-faults") {
    static const struct {
      const char* name;
      uint32_t bit;
    } kFaults[] = {{"setformat", Z9B_STREAM_FAIL_SETFORMAT},
                   {"getformat", Z9B_STREAM_FAIL_GETFORMAT},
                   {"nodropped", Z9B_STREAM_NO_DROPPED_FRAMES},
                   {"run", Z9B_STREAM_FAIL_RUN},
                   {"zerorate", Z9B_STREAM_ZERO_FRAME_TIME}};
    StreamSettings s = GetStreamSettings();
    s.faults = 0;
    for (int i = 2; i < argc; ++i) {
      bool known = false;
      for (const auto& f : kFaults)
        if (!lstrcmpiA(argv[i], f.name)) {
          s.faults |= f.bit;
          known = true;
        }
      if (!known) return 2;
    }
    return SetStreamSettings(s) ? 0 : Error("writing the stream settings");
  }
  if (cmd == "stream-reset") return ResetStreamSettings() ? 0 : Error("removing the stream settings");
  if (cmd == "videoinputs") return VideoInputs(argc, argv);
  *handled = false;
  return 0;
}

}  // namespace camctl
