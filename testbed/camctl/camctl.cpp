// camctl: drives the bench camera from scripts and tests.  Run without
// arguments for the list of commands.  Exit code 0 on success, 1 when the
// operation failed, 2 for a usage error.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_client.h"
#include "bench_setup.h"
#include "product_layout.h"
#include "stream_commands.h"

namespace {

using namespace z9bench;

const char kUsage[] =
    "usage: camctl COMMAND [ARGS]\n"
    "  setup DIR                   install the bench into this prefix from the built files in DIR\n"
    "  install [DEVICE] [INF]      install a device (camera, second, foreign or an instance id)\n"
    "  remove [DEVICE]             remove a device\n"
    "  devices                     list the devices the driver serves\n"
    "  present [DEVICE]            exit 0 when the device's capture interface is present\n"
    "  unplug [DEVICE] / replug [DEVICE]\n"
    "  button STATE...             queue button states (0..255)\n"
    "  clear-buttons\n"
    "  reg ADDR [VALUE]            read or write a register (numbers as 0x8176 or 246)\n"
    "  light                       pulses of the light and the output registers\n"
    "  control GROUP ID [FIELD=N]  show or change a control; GROUP procamp|camcontrol|ext,\n"
    "                              FIELD supported|access|flags|caps|min|max|step|default|value\n"
    "  still [format=rgb|yuy2|uyvy|i420] [size=N] [width=N] [height=N] [buffer=N]\n"
    "  upload FILE [status=N] [format=N] [size=N] [width=N] [height=N] [sticky]\n"
    "  clear-upload\n"
    "  stream TYPE WIDTH HEIGHT\n"
    "  fault KIND MODE [value=N] [status=N] [id=N] [flags=N] [skip=N] [count=N]\n"
    "                              KIND any|button|still|register|streaminfo|stillsize|control|\n"
    "                              procamp|camcontrol|other, MODE fail|nowrite|value\n"
    "  clear-faults\n"
    "  counters\n"
    "  log [FROM]                  request log from sequence FROM\n"
    "  clear-log                   clear the log and the counters\n"
    "  reset                       camera defaults, no faults, empty queue and log, all plugged\n"
    "  wait [MS]                   wait for the driver's control device (default 10000 ms)\n"
    "  install-product [DIR]       what an installation of the camera software leaves (keys, files,\n"
    "                              shortcut, second function, another maker's device); after setup\n"
    "  remove-product              remove what install-product added (the camera stays)\n";

int Usage() {
  std::fputs(kUsage, stderr);
  std::fputs(camctl::kStreamUsage, stderr);
  return 2;
}

int Failed(const char* what, DWORD error) {
  std::fprintf(stderr, "camctl: %s failed (error %lu)\n", what, static_cast<unsigned long>(error));
  return 1;
}

bool ParseNumber(const char* s, long long* out) {
  if (!s || !*s) return false;
  char* end = nullptr;
  const long long v = std::strtoll(s, &end, 0);
  if (*end) return false;
  *out = v;
  return true;
}

// "name=value" -> true with name and number.
bool ParseField(const char* arg, std::string* name, long long* value) {
  const char* eq = std::strchr(arg, '=');
  if (!eq) return false;
  name->assign(arg, static_cast<size_t>(eq - arg));
  return ParseNumber(eq + 1, value);
}

struct DeviceAlias {
  const char* name;
  const char* instanceId;
  const char* hardwareId;
};
const DeviceAlias kAliases[] = {
    {"camera", kCameraInstanceId, kCameraHardwareId},
    {"second", kSecondInstanceId, kSecondHardwareId},
    {"foreign", kForeignInstanceId, kForeignHardwareId},
};

const DeviceAlias* AliasOf(const char* arg) {
  for (const auto& a : kAliases)
    if (lstrcmpiA(a.name, arg) == 0 || lstrcmpiA(a.instanceId, arg) == 0) return &a;
  return nullptr;
}

// The instance id a DEVICE argument names (default: the camera).
std::string InstanceOf(int argc, char** argv, int index) {
  if (index >= argc) return kCameraInstanceId;
  const DeviceAlias* a = AliasOf(argv[index]);
  return a ? a->instanceId : argv[index];
}

// The INF is staged under the name a device installation gives its copy, so
// that the device's "InfPath" reads like an installed driver package's.
constexpr char kStagedInf[] = "oem0.inf";

std::string ModuleDirectory() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* slash = std::strrchr(path, '\\');
  if (slash) *slash = 0;
  return path;
}

bool OpenBench(Bench* bench, DWORD waitMs = 3000) {
  if (bench->Open(waitMs)) return true;
  std::fprintf(stderr, "camctl: the bench driver's control device is not there (error %lu)\n",
               static_cast<unsigned long>(bench->LastError()));
  return false;
}

bool CopyInto(const std::string& from, const std::string& to) {
  if (CopyFileA(from.c_str(), to.c_str(), FALSE)) return true;
  std::fprintf(stderr, "camctl: copying %s to %s failed (error %lu)\n", from.c_str(), to.c_str(),
               static_cast<unsigned long>(GetLastError()));
  return false;
}

std::string WindowsDir() {
  char dir[MAX_PATH] = {};
  GetWindowsDirectoryA(dir, MAX_PATH);
  return dir;
}

std::string SystemDir() {
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, MAX_PATH);
  return dir;
}

// Installs a device and waits until its capture interface is present.
bool InstallAndWait(const DeviceAlias& device, const std::string& inf, std::string* path) {
  std::string error;
  if (!InstallDevice(device.instanceId, device.hardwareId, inf.c_str(), &error)) {
    std::fprintf(stderr, "camctl: %s\n", error.c_str());
    return false;
  }
  if (!WaitForCaptureInterface(device.instanceId, true, 15000, path)) {
    std::fprintf(stderr, "camctl: %s installed but its capture interface did not appear\n", device.instanceId);
    return false;
  }
  return true;
}

// Everything a test prefix needs; DIR holds the cross build's bin/ files.
int Setup(const std::string& dir) {
  const std::string bench = "C:\\bench";
  const std::string driverDir = bench + "\\driver";
  CreateDirectoryA(bench.c_str(), nullptr);
  CreateDirectoryA(driverDir.c_str(), nullptr);
  const std::string sysDir = SystemDir();
  const std::string oldSystem = WindowsDir() + "\\system";
  CreateDirectoryA(oldSystem.c_str(), nullptr);
  if (!CopyInto(dir + "\\ksproxy.ax", sysDir + "\\ksproxy.ax") ||
      !CopyInto(dir + "\\youcam.exe", bench + "\\youcam.exe") ||
      !CopyInto(dir + "\\Z9100Remov.exe", oldSystem + "\\Z9100Remov.exe") ||
      !CopyInto(dir + "\\Z9100KNT.sys", driverDir + "\\Z9100KNT.sys") ||
      !CopyInto(dir + "\\z9cam.inf", driverDir + "\\" + kStagedInf))
    return 1;

  std::string error;
  if (!SetDllOverride("ksproxy.ax", "native", &error) ||
      !RegisterProxyClass((sysDir + "\\ksproxy.ax").c_str(), &error) || !RegisterPropertyPages(&error) ||
      !RegisterCameraApplication((bench + "\\youcam.exe").c_str(), &error)) {
    std::fprintf(stderr, "camctl: %s\n", error.c_str());
    return 1;
  }
  std::string path;
  if (!InstallAndWait(kAliases[0], driverDir + "\\" + kStagedInf, &path)) return 1;
  if (!RegisterVideoInput(kCameraVideoInputName, kFriendlyName, kProxyClsid, path.c_str(), &error)) {
    std::fprintf(stderr, "camctl: %s\n", error.c_str());
    return 1;
  }
  std::printf("camera ready: %s\n", path.c_str());
  return 0;
}

void PrintControl(const Z9B_CONTROL& c) {
  std::printf("supported=%d access=%u flags=%d caps=%d min=%d max=%d step=%d default=%d value=%d\n", c.supported,
              c.access, c.flags, c.capabilities, c.minimum, c.maximum, c.step, c.def, c.value);
}

int ControlCommand(Bench& bench, int argc, char** argv) {
  if (argc < 4) return Usage();
  uint32_t group = 0;
  if (!lstrcmpiA(argv[2], "procamp")) group = Z9B_GROUP_PROCAMP;
  else if (!lstrcmpiA(argv[2], "camcontrol")) group = Z9B_GROUP_CAMCONTROL;
  else if (!lstrcmpiA(argv[2], "ext")) group = Z9B_GROUP_EXT;
  long long id = 0;
  if (!group || !ParseNumber(argv[3], &id) || id < 0) return Usage();
  Z9B_CONTROL c{};
  if (!bench.GetControl(group, static_cast<uint32_t>(id), &c)) return Failed("reading the control", bench.LastError());
  if (argc == 4) {
    PrintControl(c);
    return 0;
  }
  for (int i = 4; i < argc; ++i) {
    std::string name;
    long long v = 0;
    if (!ParseField(argv[i], &name, &v)) return Usage();
    if (name == "supported") c.supported = static_cast<int32_t>(v);
    else if (name == "access") c.access = static_cast<uint32_t>(v);
    else if (name == "flags") c.flags = static_cast<int32_t>(v);
    else if (name == "caps") c.capabilities = static_cast<int32_t>(v);
    else if (name == "min") c.minimum = static_cast<int32_t>(v);
    else if (name == "max") c.maximum = static_cast<int32_t>(v);
    else if (name == "step") c.step = static_cast<int32_t>(v);
    else if (name == "default") c.def = static_cast<int32_t>(v);
    else if (name == "value") c.value = static_cast<int32_t>(v);
    else return Usage();
  }
  if (!bench.SetControl(c)) return Failed("changing the control", bench.LastError());
  PrintControl(c);
  return 0;
}

int StillCommand(Bench& bench, int argc, char** argv) {
  Z9B_STILL_CONFIG c{};
  if (!bench.GetStillConfig(&c)) return Failed("reading the still settings", bench.LastError());
  for (int i = 2; i < argc; ++i) {
    const char* eq = std::strchr(argv[i], '=');
    if (!eq) return Usage();
    const std::string name(argv[i], static_cast<size_t>(eq - argv[i]));
    const char* text = eq + 1;
    long long v = 0;
    if (name == "format") {
      if (!lstrcmpiA(text, "rgb")) v = Z9B_STILL_RGB;
      else if (!lstrcmpiA(text, "yuy2")) v = Z9B_STILL_YUY2;
      else if (!lstrcmpiA(text, "uyvy")) v = Z9B_STILL_UYVY;
      else if (!lstrcmpiA(text, "i420")) v = Z9B_STILL_I420;
      else if (!ParseNumber(text, &v)) return Usage();
      c.format = static_cast<uint32_t>(v);
      continue;
    }
    if (!ParseNumber(text, &v) || v < 0) return Usage();
    if (name == "size") c.sizeCode = static_cast<uint32_t>(v);
    else if (name == "width") c.width = static_cast<uint32_t>(v);
    else if (name == "height") c.height = static_cast<uint32_t>(v);
    else if (name == "buffer") c.bufferSize = static_cast<uint32_t>(v);
    else return Usage();
  }
  if (argc > 2 && !bench.SetStillConfig(c)) return Failed("changing the still settings", bench.LastError());
  std::printf("format=%u size=%u width=%u height=%u buffer=%u\n", c.format, c.sizeCode, c.width, c.height,
              c.bufferSize);
  return 0;
}

int UploadCommand(Bench& bench, int argc, char** argv) {
  if (argc < 3) return Usage();
  HANDLE f = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return Failed("opening the file", GetLastError());
  const DWORD size = GetFileSize(f, nullptr);
  if (size == INVALID_FILE_SIZE || size > Z9B_MAX_UPLOAD) {
    CloseHandle(f);
    std::fprintf(stderr, "camctl: the file is larger than %u bytes\n", Z9B_MAX_UPLOAD);
    return 1;
  }
  std::vector<uint8_t> data(size);
  DWORD got = 0;
  const BOOL ok = size == 0 || ReadFile(f, data.data(), size, &got, nullptr);
  CloseHandle(f);
  if (!ok || got != size) return Failed("reading the file", GetLastError());

  Z9B_STILL_UPLOAD h{};
  h.format = Z9B_STILL_YUY2;
  h.width = 640;
  h.height = 480;
  for (int i = 3; i < argc; ++i) {
    if (!lstrcmpiA(argv[i], "sticky")) {
      h.flags |= Z9B_UPLOAD_STICKY;
      continue;
    }
    std::string name;
    long long v = 0;
    if (!ParseField(argv[i], &name, &v) || v < 0) return Usage();
    if (name == "status") h.status = static_cast<uint32_t>(v);
    else if (name == "format") h.format = static_cast<uint32_t>(v);
    else if (name == "size") h.sizeCode = static_cast<uint32_t>(v);
    else if (name == "width") h.width = static_cast<uint32_t>(v);
    else if (name == "height") h.height = static_cast<uint32_t>(v);
    else return Usage();
  }
  if (!bench.UploadStill(h, data.data(), data.size())) return Failed("uploading the still", bench.LastError());
  return 0;
}

uint32_t KindOf(const char* s) {
  for (uint32_t k = 0; k < Z9B_KIND_COUNT; ++k)
    if (!lstrcmpiA(s, KindName(k))) return k;
  return Z9B_KIND_COUNT;
}

int FaultCommand(Bench& bench, int argc, char** argv) {
  if (argc < 4) return Usage();
  const uint32_t kind = KindOf(argv[2]);
  uint32_t mode = 0;
  if (!lstrcmpiA(argv[3], "fail")) mode = Z9B_FAULT_FAIL;
  else if (!lstrcmpiA(argv[3], "nowrite")) mode = Z9B_FAULT_NOWRITE;
  else if (!lstrcmpiA(argv[3], "value")) mode = Z9B_FAULT_VALUE;
  if (kind == Z9B_KIND_COUNT || !mode) return Usage();
  Z9B_FAULT f = MakeFault(kind, mode);
  for (int i = 4; i < argc; ++i) {
    std::string name;
    long long v = 0;
    if (!ParseField(argv[i], &name, &v)) return Usage();
    if (name == "value") f.value = static_cast<int32_t>(v);
    else if (name == "status") f.status = static_cast<uint32_t>(v);
    else if (name == "id") f.id = static_cast<uint32_t>(v);
    else if (name == "flags") f.flags = static_cast<uint32_t>(v);
    else if (name == "skip") f.skip = static_cast<uint32_t>(v);
    else if (name == "count") f.count = static_cast<uint32_t>(v);
    else return Usage();
  }
  uint32_t slot = 0;
  if (!bench.AddFault(f, &slot)) return Failed("adding the fault", bench.LastError());
  std::printf("fault %u\n", slot);
  return 0;
}

int CountersCommand(Bench& bench) {
  Z9B_COUNTERS c{};
  if (!bench.GetCounters(&c)) return Failed("reading the counters", bench.LastError());
  std::printf("requests %u failures %u faults %u other-ioctls %u\n", c.requests, c.failures, c.faultsApplied,
              c.otherIoctls);
  for (uint32_t k = 1; k < Z9B_KIND_COUNT; ++k)
    std::printf("  %-10s %u (%u failed)\n", KindName(k), c.byKind[k], c.failuresByKind[k]);
  std::printf("buttons-popped %u register-reads %u register-writes %u stills %u\n", c.buttonsPopped,
              c.registerReads, c.registerWrites, c.stillsDelivered);
  std::printf("opens %u closes %u refused-opens %u\n", c.opens, c.closes, c.refusedOpens);
  return 0;
}

int Run(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];

  if (cmd == "setup") return Setup(argc > 2 ? argv[2] : ModuleDirectory());
  bool streamCommand = false;
  const int streamResult = camctl::StreamCommand(argc, argv, &streamCommand);
  if (streamCommand) return streamResult == 2 ? Usage() : streamResult;
  if (cmd == "install" || cmd == "remove") {
    const DeviceAlias* a = argc > 2 ? AliasOf(argv[2]) : &kAliases[0];
    std::string error;
    if (cmd == "remove") {
      const std::string id = InstanceOf(argc, argv, 2);
      if (!RemoveDevice(id.c_str(), &error)) {
        std::fprintf(stderr, "camctl: %s\n", error.c_str());
        return 1;
      }
      return 0;
    }
    if (!a) {
      std::fprintf(stderr, "camctl: install knows camera, second and foreign\n");
      return 2;
    }
    const std::string inf = argc > 3 ? argv[3] : std::string("C:\\bench\\driver\\") + kStagedInf;
    std::string path;
    if (!InstallAndWait(*a, inf, &path)) return 1;
    std::printf("%s\n", path.c_str());
    return 0;
  }
  if (cmd == "install-product") {
    std::string error;
    const std::string dir = argc > 2 ? argv[2] : ModuleDirectory();
    if (!InstallProductLayout(dir.c_str(), &error)) {
      std::fprintf(stderr, "camctl: %s\n", error.c_str());
      return 1;
    }
    return 0;
  }
  if (cmd == "remove-product") {
    RemoveProductLayout();
    return 0;
  }
  if (cmd == "present") {
    const std::string id = InstanceOf(argc, argv, 2);
    std::string path;
    if (!FindCaptureInterface(id.c_str(), &path)) return 1;
    std::printf("%s\n", path.c_str());
    return 0;
  }

  Bench bench;
  if (cmd == "wait") {
    long long ms = 10000;
    if (argc > 2 && !ParseNumber(argv[2], &ms)) return Usage();
    return OpenBench(&bench, static_cast<DWORD>(ms)) ? 0 : 1;
  }
  if (!OpenBench(&bench)) return 1;

  if (cmd == "devices") {
    std::vector<Z9B_DEVICE> devices;
    if (!bench.ListDevices(&devices)) return Failed("listing the devices", bench.LastError());
    for (const auto& d : devices)
      std::printf("%u %s role=%u plugged=%u open=%u opens=%u refused=%u\n", d.slot, d.instanceId, d.role, d.plugged,
                  d.openHandles, d.opens, d.refusedOpens);
    return 0;
  }
  if (cmd == "unplug" || cmd == "replug") {
    const std::string id = InstanceOf(argc, argv, 2);
    if (!bench.SetPlugged(id.c_str(), cmd == "replug")) return Failed(cmd.c_str(), bench.LastError());
    return 0;
  }
  if (cmd == "button") {
    std::vector<uint8_t> states;
    for (int i = 2; i < argc; ++i) {
      long long v = 0;
      if (!ParseNumber(argv[i], &v) || v < 0 || v > 255) return Usage();
      states.push_back(static_cast<uint8_t>(v));
    }
    if (states.empty()) return Usage();
    uint32_t queued = 0;
    if (!bench.PushButtons(states.data(), states.size(), &queued)) return Failed("queueing", bench.LastError());
    std::printf("queued %u\n", queued);
    return 0;
  }
  if (cmd == "clear-buttons") return bench.ClearButtons() ? 0 : Failed(argv[1], bench.LastError());
  if (cmd == "reg") {
    long long address = 0, value = 0;
    if (argc < 3 || !ParseNumber(argv[2], &address) || address < 0 || address > 0xFFFF) return Usage();
    if (argc > 3) {
      if (!ParseNumber(argv[3], &value) || value < 0 || value > 255) return Usage();
      if (!bench.SetRegister(static_cast<uint16_t>(address), static_cast<uint8_t>(value)))
        return Failed("writing the register", bench.LastError());
      return 0;
    }
    uint8_t v = 0;
    if (!bench.GetRegister(static_cast<uint16_t>(address), &v)) return Failed("reading the register", bench.LastError());
    std::printf("0x%04llX = 0x%02X\n", address, v);
    return 0;
  }
  if (cmd == "light") {
    Z9B_LIGHT l{};
    if (!bench.GetLight(&l)) return Failed("reading the light", bench.LastError());
    std::printf("pulses %u on %u level 0x%02X direction 0x%02X\n", l.pulses, l.on, l.level, l.direction);
    return 0;
  }
  if (cmd == "control") return ControlCommand(bench, argc, argv);
  if (cmd == "still") return StillCommand(bench, argc, argv);
  if (cmd == "upload") return UploadCommand(bench, argc, argv);
  if (cmd == "clear-upload") return bench.ClearUpload() ? 0 : Failed(argv[1], bench.LastError());
  if (cmd == "stream") {
    long long t = 0, w = 0, h = 0;
    if (argc < 5 || !ParseNumber(argv[2], &t) || !ParseNumber(argv[3], &w) || !ParseNumber(argv[4], &h))
      return Usage();
    return bench.SetStreamInfo(static_cast<uint32_t>(t), static_cast<uint32_t>(w), static_cast<uint32_t>(h))
               ? 0
               : Failed(argv[1], bench.LastError());
  }
  if (cmd == "fault") return FaultCommand(bench, argc, argv);
  if (cmd == "clear-faults") return bench.ClearFaults() ? 0 : Failed(argv[1], bench.LastError());
  if (cmd == "counters") return CountersCommand(bench);
  if (cmd == "log") {
    long long from = 0;
    if (argc > 2 && !ParseNumber(argv[2], &from)) return Usage();
    std::vector<Z9B_LOG_ENTRY> entries;
    if (!bench.ReadLog(&entries, static_cast<uint32_t>(from))) return Failed("reading the log", bench.LastError());
    for (const auto& e : entries) std::printf("%s\n", DescribeLogEntry(e).c_str());
    return 0;
  }
  if (cmd == "clear-log") return bench.ClearLog() ? 0 : Failed(argv[1], bench.LastError());
  if (cmd == "reset") return bench.Reset() ? 0 : Failed(argv[1], bench.LastError());
  return Usage();
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
