// The bench's TWAIN application: lists the sources through Wine's (or any)
// source manager, opens the camera's source, shows its user interface,
// waits for one picture, takes it by a native or a memory transfer, saves it
// as a .bmp and shows it in its own window. One log line per step.
//
//   twainapp.exe [/log=FILE] [/out=FILE.bmp] [/source=NAME] [/memory] [/wait=MS] [/linger=MS]
//
// Log lines: "source <manufacturer>|<family>|<name>", "opened <name>",
// "enabled <rc>", "notice <n>", "picture <width>x<height> bytes=<n> strips=<n>",
// "saved <file>", "done" or "failed <step> rc=<rc> cc=<cc>".
// Exit code 0 when a picture was saved.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "twain_session.h"

namespace {

using namespace twain;

struct Options {
  std::string log = "C:\\bench\\twainapp.log";
  std::string out = "C:\\bench\\twainapp.bmp";
  std::string source;
  bool memory = false;
  DWORD wait = 30000;
  DWORD linger = 0;
} g_opt;

std::vector<uint8_t> g_shown;

void Log(const std::string& line) {
  FILE* f = std::fopen(g_opt.log.c_str(), "ab");
  if (f == nullptr) return;
  std::fprintf(f, "%s\r\n", line.c_str());
  std::fclose(f);
}

void Parse(const char* commandLine) {
  std::string line = commandLine, word;
  bool quoted = false;
  for (size_t i = 0; i <= line.size(); ++i) {
    const char c = i < line.size() ? line[i] : ' ';
    if (c == '"') { quoted = !quoted; continue; }
    if (c != ' ' || quoted) { word += c; continue; }
    if (word.rfind("/log=", 0) == 0) g_opt.log = word.substr(5);
    else if (word.rfind("/out=", 0) == 0) g_opt.out = word.substr(5);
    else if (word.rfind("/source=", 0) == 0) g_opt.source = word.substr(8);
    else if (word == "/memory") g_opt.memory = true;
    else if (word.rfind("/wait=", 0) == 0) g_opt.wait = std::strtoul(word.c_str() + 6, nullptr, 10);
    else if (word.rfind("/linger=", 0) == 0) g_opt.linger = std::strtoul(word.c_str() + 8, nullptr, 10);
    word.clear();
  }
}

int Failed(z9bench::TwainSession& s, const char* step, TW_UINT16 rc) {
  Log(std::string("failed ") + step + " rc=" + std::to_string(rc) + " cc=" + std::to_string(s.SourceCondition()));
  return 1;
}

bool SaveBmp(const std::vector<uint8_t>& dib) {
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfSize = static_cast<DWORD>(sizeof fh + dib.size());
  fh.bfOffBits = sizeof fh + 40;
  FILE* f = std::fopen(g_opt.out.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(dib.data(), dib.size(), 1, f) == 1;
  return std::fclose(f) == 0 && ok;
}

// Paints the picture taken into the application's window.
LRESULT CALLBACK ShowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_PAINT && g_shown.size() > 40) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    const BITMAPINFOHEADER* h = reinterpret_cast<const BITMAPINFOHEADER*>(g_shown.data());
    SetStretchBltMode(dc, HALFTONE);
    StretchDIBits(dc, 0, 0, h->biWidth / 2, h->biHeight / 2, 0, 0, h->biWidth, h->biHeight, g_shown.data() + 40,
                  reinterpret_cast<const BITMAPINFO*>(h), DIB_RGB_COLORS, SRCCOPY);
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void ShowPicture(HWND window) {
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ShowProc));
  SetWindowTextA(window, "Z9 bench TWAIN application - picture taken");
  const BITMAPINFOHEADER* h = reinterpret_cast<const BITMAPINFOHEADER*>(g_shown.data());
  RECT r = {0, 0, h->biWidth / 2, h->biHeight / 2};
  AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
  SetWindowPos(window, HWND_TOP, 690, 20, r.right - r.left, r.bottom - r.top, SWP_SHOWWINDOW);
  InvalidateRect(window, nullptr, TRUE);
}

int Run() {
  z9bench::TwainSession s;
  if (!s.OpenManager()) return Log("failed manager"), 1;
  std::string name = g_opt.source;
  for (const TW_IDENTITY& id : s.ListSources()) {
    Log(std::string("source ") + id.Manufacturer + "|" + id.ProductFamily + "|" + id.ProductName);
    if (name.empty() && std::strcmp(id.Manufacturer, "RidEva") == 0) name = id.ProductName;
  }
  if (name.empty()) return Log("failed no-source"), 1;
  TW_UINT16 rc = s.OpenSource(name.c_str());
  if (rc != TWRC_SUCCESS) return Log("failed open rc=" + std::to_string(rc)), 1;
  Log(std::string("opened ") + s.Source().ProductName);
  rc = s.SetOneValue(ICAP_XFERMECH, TWTY_UINT16, g_opt.memory ? TWSX_MEMORY : TWSX_NATIVE);
  if (rc != TWRC_SUCCESS) return Failed(s, "xfermech", rc);
  rc = s.Enable(true);
  Log("enabled " + std::to_string(rc));
  if (rc != TWRC_SUCCESS && rc != TWRC_CHECKSTATUS) return Failed(s, "enable", rc);
  const TW_UINT16 notice = s.WaitForNotice(g_opt.wait);
  Log("notice " + std::to_string(notice));
  if (notice != MSG_XFERREADY) {
    s.Disable();
    return Log("failed no-picture"), 1;
  }
  std::vector<uint8_t> dib;
  int strips = 1;
  if (g_opt.memory) {
    TW_SETUPMEMXFER setup = {};
    s.ToSource(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
    rc = s.MemoryTransfer(setup.Preferred, &dib, &strips);
  } else {
    rc = s.NativeTransfer(&dib);
  }
  if (rc != TWRC_XFERDONE || dib.size() < 40) return Failed(s, "transfer", rc);
  const BITMAPINFOHEADER* h = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
  Log("picture " + std::to_string(h->biWidth) + "x" + std::to_string(h->biHeight) + " bytes=" +
      std::to_string(dib.size()) + " strips=" + std::to_string(strips));
  TW_UINT16 count = 0;
  s.EndTransfer(&count);
  if (!SaveBmp(dib)) return Log("failed save"), 1;
  Log("saved " + g_opt.out);
  g_shown = dib;
  ShowPicture(s.Window());
  s.PumpEvents(g_opt.linger);
  s.Disable();
  s.CloseSource();
  s.CloseManager();
  Log("done");
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  Parse(commandLine);
  return Run();
}
