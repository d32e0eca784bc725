// Z9CaptureBench: how long a press of the camera's button takes to become a
// picture at the TWAIN host, on the bench under Wine. The monitor polls the
// camera, the host stand-in has the capture dialog open; for each of N
// presses the time runs from the moment the bench queues button state 1 to
// the host's receipt of the picture block (the host stamps it with the
// performance counter). Then the stages on their own, in this process: the
// still request through the camera driver, decoding with the row flip, and
// the enlargement to 1280 x 960.
//
//   Z9CaptureBench.exe [presses]      (default 50)
#include <windows.h>

#include <imaging/still.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_client.h"
#include "bench_setup.h"
#include "wintest.h"

namespace {

constexpr char kSettingsKey[] = "Software\\RidEva\\Z9100";
const std::string kFolder = "C:\\bench\\capture-bench";
const std::string kHostLog = kFolder + "\\twainhost.log";

double g_qpcPerMs = 1.0;

double NowMs() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / g_qpcPerMs;
}

// The performance-counter stamps of the host's "dib" lines, in order.
std::vector<long long> DibStamps() {
  std::string bytes;
  std::vector<long long> stamps;
  if (!wintest::ReadFileBytes(kHostLog, &bytes)) return stamps;
  size_t pos = 0;
  while ((pos = bytes.find("\ndib ", pos)) != std::string::npos) {
    const size_t at = bytes.find(" qpc=", pos);
    const size_t end = bytes.find("\r\n", pos + 1);
    if (at == std::string::npos || (end != std::string::npos && at > end)) break;
    stamps.push_back(std::atoll(bytes.c_str() + at + 5));
    pos = at;
  }
  return stamps;
}

struct Summary {
  double median = 0, p95 = 0, min = 0, max = 0;
};

Summary Summarise(std::vector<double> v) {
  Summary s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  s.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
  size_t i95 = (v.size() * 95 + 99) / 100;
  if (i95 > 0) --i95;
  s.p95 = v[std::min(i95, v.size() - 1)];
  s.min = v.front();
  s.max = v.back();
  return s;
}

void Print(const char* what, const Summary& s, size_t n) {
  std::printf("  %-44s n=%3zu  median %7.1f ms  p95 %7.1f ms  (min %6.1f, max %6.1f)\n", what, n, s.median, s.p95,
              s.min, s.max);
  std::fflush(stdout);
}

uint32_t ButtonRequests(z9bench::Bench& bench) {
  Z9B_COUNTERS c{};
  bench.GetCounters(&c);
  return c.byKind[Z9B_KIND_BUTTON];
}

// Presses the button `presses` times; milliseconds from queueing state 1 to
// the picture at the host, one per press that arrived.
std::vector<double> MeasureChain(z9bench::Bench& bench, int presses) {
  std::vector<double> times;
  for (int i = 0; i < presses; ++i) {
    const size_t before = DibStamps().size();
    // Let the monitor's pause and quiet cycle after the last press pass.
    const uint32_t polls = ButtonRequests(bench);
    wintest::WaitUntil([&] { return ButtonRequests(bench) >= polls + 2; }, 3000, 5);
    // A press comes at any moment of the polling period, not just after a poll.
    Sleep(static_cast<DWORD>(std::rand() % 100));
    const double pressed = NowMs();
    bench.PushButtons({1});
    std::vector<long long> stamps;
    if (!wintest::WaitUntil([&] { return (stamps = DibStamps()).size() > before; }, 5000, 5)) continue;
    times.push_back(static_cast<double>(stamps[before]) / g_qpcPerMs - pressed);
  }
  return times;
}

using KsSync = HRESULT(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PVOID, ULONG, PULONG);

// The still request on its own: through the system's Ksproxy.ax to the driver.
std::vector<double> MeasureRequest(int n, std::vector<uint8_t>* still) {
  std::vector<double> times;
  std::string path;
  if (!z9bench::FindCaptureInterface(z9bench::kCameraInstanceId, &path)) return times;
  HANDLE device = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  char dir[MAX_PATH] = {};
  GetSystemDirectoryA(dir, MAX_PATH);
  HMODULE ks = LoadLibraryA((std::string(dir) + "\\ksproxy.ax").c_str());
  KsSync sync = ks ? reinterpret_cast<KsSync>(GetProcAddress(ks, "KsSynchronousDeviceControl")) : nullptr;
  if (device != INVALID_HANDLE_VALUE && sync != nullptr) {
    std::vector<uint8_t> buffer(921600 + 48);
    static const uint8_t kSet[16] = {0xA2, 0x39, 0x96, 0xEB, 0x73, 0x97, 0xF4, 0x4A,
                                     0xAF, 0x2B, 0x30, 0x32, 0xDC, 0x22, 0x30, 0x00};
    for (int i = 0; i < n; ++i) {
      std::fill(buffer.begin(), buffer.end(), 0);
      std::copy(kSet, kSet + 16, buffer.begin());
      buffer[16] = 34;
      buffer[20] = 1;
      ULONG returned = 0;
      const double t = NowMs();
      const HRESULT hr = sync(device, 0x2F0003, buffer.data(), static_cast<ULONG>(buffer.size()), buffer.data(),
                              static_cast<ULONG>(buffer.size()), &returned);
      if (SUCCEEDED(hr)) times.push_back(NowMs() - t);
    }
    *still = buffer;
  }
  if (device != INVALID_HANDLE_VALUE) CloseHandle(device);
  if (ks) FreeLibrary(ks);
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  std::srand(GetTickCount());
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  g_qpcPerMs = static_cast<double>(f.QuadPart) / 1000.0;

  z9bench::Bench bench;
  if (!bench.Open(15000) || !bench.Reset()) {
    std::printf("bench camera not available\n");
    return 1;
  }
  wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
  wintest::RegSetString(HKEY_LOCAL_MACHINE, kSettingsKey, "FriendlyName", "Opticam, Q7710C USB Camera");
  wintest::MakeDirs(kFolder);
  wintest::DeleteFileIfAny(kHostLog);

  wintest::Process monitor;
  monitor.Start("\"" + wintest::ExeDir() + "\\Z9100Mnt.exe\"");
  HWND main = wintest::WaitForWindow("Z9100MntWndClass", "Z9100Mnt", 10000);
  wintest::Process host;
  host.Start("\"" + wintest::ExeDir() + "\\twainhost.exe\" /log=" + kHostLog + " /out=" + kFolder);
  const bool open = wintest::WaitUntil(
      [] {
        std::string b;
        return wintest::ReadFileBytes(kHostLog, &b) && b.find("create ") != std::string::npos;
      },
      15000);
  if (main == nullptr || !open) {
    std::printf("the monitor or the host did not start\n");
    return 1;
  }
  wintest::PumpFor(1000);

  std::printf("Button press to picture at the host (bench camera, Wine), %d presses each:\n", presses);
  Z9B_STILL_CONFIG config{};
  bench.GetStillConfig(&config);
  config.format = Z9B_STILL_YUY2;
  config.width = 640;
  config.height = 480;
  config.sizeCode = 0;
  bench.SetStillConfig(config);
  const std::vector<double> plain = MeasureChain(bench, presses);
  Print("640x480 YUY2", Summarise(plain), plain.size());
  config.sizeCode = 103;
  bench.SetStillConfig(config);
  const std::vector<double> enlarged = MeasureChain(bench, presses);
  Print("640x480 YUY2 enlarged to 1280x960 (code 103)", Summarise(enlarged), enlarged.size());

  PostMessageA(wintest::WaitForWindow("Z9TwainHost", nullptr, 1000), WM_CLOSE, 0, 0);
  host.Wait(10000);
  PostMessageA(main, WM_CLOSE, 0, 0);
  monitor.Wait(8000);

  std::printf("Stages on their own (this process):\n");
  config.sizeCode = 0;
  bench.SetStillConfig(config);
  std::vector<uint8_t> still;
  const std::vector<double> request = MeasureRequest(20, &still);
  Print("still request through the driver (921648 B)", Summarise(request), request.size());
  std::vector<double> decode, enlarge;
  std::vector<uint8_t> dib(z9::PictureDibSize(640, 480));
  std::vector<uint8_t> big(z9::PictureDibSize(1280, 960));
  for (int i = 0; i < 20 && !still.empty(); ++i) {
    double t = NowMs();
    z9::DecodeImage(dib.data() + 40, dib.size() - 40, still.data(), still.size());
    z9::FlipRows(dib.data() + 40, dib.size() - 40, 640, 480);
    z9::WriteDibHeader(dib.data(), dib.size(), 640, 480);
    decode.push_back(NowMs() - t);
    t = NowMs();
    z9::UpscaleStill(dib.data(), dib.size(), 640, 480, big.data(), big.size(), 1280, 960);
    enlarge.push_back(NowMs() - t);
  }
  Print("decode YUY2 and flip rows", Summarise(decode), decode.size());
  Print("enlarge 640x480 to 1280x960", Summarise(enlarge), enlarge.size());
  std::printf("The rest of a press is the monitor's polling (100 ms period: 50 ms on average until the next\n"
              "poll) and the window messages from the monitor to the dialog and from the dialog to the host.\n");
  bench.Reset();
  wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kSettingsKey);
  return (plain.size() == static_cast<size_t>(presses) && enlarged.size() == static_cast<size_t>(presses)) ? 0 : 1;
}
