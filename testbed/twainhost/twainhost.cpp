// The bench's stand-in for a TWAIN data source's window: it loads
// Z9100Twn.dll, opens the capture dialog with CreateUIDlg(its window) and
// answers WM_USER + 200 the way a data source does. Every event becomes one
// line of a log file that tests read; every picture becomes a numbered .bmp.
//
//   twainhost.exe [/log=FILE] [/out=FOLDER] [/dll=FILE] [/nocreate] [/remove-at-once]
//
// Log lines:
//   started
//   create <result>
//   info width=W height=H two=T rate=R format=F size=S bytes=<32 hex digits>
//   dib <n> bytes=<block size> file=<path> qpc=<QueryPerformanceCounter at receipt>
//   close-request
//   remove <result>
//   exit
// Control from a test (posted to the window, class "Z9TwainHost"):
//   WM_APP + 1 CreateUIDlg, WM_APP + 2 RemoveUIDlg, WM_CLOSE ends the host
//   (RemoveUIDlg first when a dialog is open).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kClassName[] = "Z9TwainHost";
constexpr char kTitle[] = "Z9 TWAIN host";
constexpr UINT kHostMessage = WM_USER + 200;
constexpr UINT kCreateCommand = WM_APP + 1;
constexpr UINT kRemoveCommand = WM_APP + 2;

using CreateFunction = int(__cdecl*)(HWND);
using RemoveFunction = int(__cdecl*)();

struct Host {
  std::string logPath = "C:\\bench\\twainhost.log";
  std::string outDir = "C:\\bench\\pictures";
  std::string dllPath;
  bool create = true;
  bool removeAtOnce = false;
  HMODULE library = nullptr;
  CreateFunction createDlg = nullptr;
  RemoveFunction removeDlg = nullptr;
  bool dialogOpen = false;
  int pictures = 0;
} g_host;

void Log(const std::string& line) {
  const std::string text = line + "\r\n";
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE f = CreateFileA(g_host.logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
      Sleep(20);
      continue;
    }
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
    return;
  }
}

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  char* slash = std::strrchr(path, '\\');
  if (slash != nullptr) *slash = '\0';
  return path;
}

void ParseArguments(const char* commandLine) {
  std::string line = commandLine;
  size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && line[pos] == ' ') ++pos;
    size_t end = pos;
    bool quoted = false;
    std::string word;
    while (end < line.size() && (quoted || line[end] != ' ')) {
      if (line[end] == '"')
        quoted = !quoted;
      else
        word += line[end];
      ++end;
    }
    pos = end;
    if (word.rfind("/log=", 0) == 0) g_host.logPath = word.substr(5);
    else if (word.rfind("/out=", 0) == 0) g_host.outDir = word.substr(5);
    else if (word.rfind("/dll=", 0) == 0) g_host.dllPath = word.substr(5);
    else if (word == "/nocreate") g_host.create = false;
    else if (word == "/remove-at-once") g_host.removeAtOnce = true;
  }
}

void MakeFolders(const std::string& path) {
  for (size_t i = 3; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

void CreateDialogNow(HWND window) {
  if (g_host.createDlg == nullptr) return;
  g_host.dialogOpen = true;
  const int result = g_host.createDlg(window);
  Log("create " + std::to_string(result));
}

void RemoveDialogNow() {
  if (g_host.removeDlg == nullptr) return;
  const int result = g_host.removeDlg();
  g_host.dialogOpen = false;
  Log("remove " + std::to_string(result));
}

void RecordInfo(const void* info) {
  if (info == nullptr) {
    Log("info none");
    return;
  }
  const unsigned char* b = static_cast<const unsigned char*>(info);
  char hex[33] = {};
  for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", b[i]);
  char line[256];
  std::snprintf(line, sizeof line, "info width=%u height=%u two=%u rate=%u format=%u size=%u bytes=%s",
                b[0] | (b[1] << 8), b[2] | (b[3] << 8), b[4] | (b[5] << 8),
                static_cast<unsigned>(b[8] | (b[9] << 8) | (b[10] << 16) | (static_cast<unsigned>(b[11]) << 24)),
                b[12], b[13], hex);
  Log(line);
}

// The block as received, behind a file header; the host owns and frees it.
void SavePicture(HGLOBAL block) {
  LARGE_INTEGER received;
  QueryPerformanceCounter(&received);
  const int number = ++g_host.pictures;
  const SIZE_T size = block != nullptr ? GlobalSize(block) : 0;
  char name[64];
  std::snprintf(name, sizeof name, "\\picture_%03d.bmp", number);
  const std::string file = g_host.outDir + name;
  const void* data = block != nullptr ? GlobalLock(block) : nullptr;
  bool saved = false;
  if (data != nullptr && size >= sizeof(BITMAPINFOHEADER)) {
    const BITMAPINFOHEADER* info = static_cast<const BITMAPINFOHEADER*>(data);
    // What the header describes, never more than the block holds.
    SIZE_T dibSize = info->biSize + static_cast<SIZE_T>(info->biSizeImage);
    if (dibSize > size || info->biSizeImage == 0) dibSize = size;
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfSize = static_cast<DWORD>(sizeof fh + dibSize);
    fh.bfOffBits = static_cast<DWORD>(sizeof fh + info->biSize);
    MakeFolders(g_host.outDir);
    HANDLE f = CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      DWORD written = 0, written2 = 0;
      saved = WriteFile(f, &fh, sizeof fh, &written, nullptr) &&
              WriteFile(f, data, static_cast<DWORD>(dibSize), &written2, nullptr) && written2 == dibSize;
      CloseHandle(f);
    }
  }
  if (data != nullptr) GlobalUnlock(block);
  if (block != nullptr) GlobalFree(block);
  Log("dib " + std::to_string(number) + " bytes=" + std::to_string(static_cast<unsigned long>(size)) +
      " file=" + (saved ? file : std::string("none")) + " qpc=" + std::to_string(received.QuadPart));
}

LRESULT CALLBACK HostProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case kHostMessage:
      switch (wParam) {
        case 0: RecordInfo(reinterpret_cast<const void*>(lParam)); break;
        case 2: SavePicture(reinterpret_cast<HGLOBAL>(lParam)); break;
        case 3:
          Log("close-request");
          // A data source closes the dialog once the call has returned.
          if (g_host.removeAtOnce)
            RemoveDialogNow();
          else
            PostMessageA(window, kRemoveCommand, 0, 0);
          break;
        default: Log("unknown " + std::to_string(static_cast<unsigned long>(wParam))); break;
      }
      return 0;
    case kCreateCommand: CreateDialogNow(window); return 0;
    case kRemoveCommand:
      if (g_host.dialogOpen) RemoveDialogNow();
      return 0;
    case WM_CLOSE:
      if (g_host.dialogOpen) RemoveDialogNow();
      DestroyWindow(window);
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  ParseArguments(commandLine);
  Log("started");
  if (g_host.dllPath.empty()) g_host.dllPath = ExeFolder() + "\\Z9100Twn.dll";
  g_host.library = LoadLibraryA(g_host.dllPath.c_str());
  if (g_host.library != nullptr) {
    g_host.createDlg = reinterpret_cast<CreateFunction>(GetProcAddress(g_host.library, "CreateUIDlg"));
    g_host.removeDlg = reinterpret_cast<RemoveFunction>(GetProcAddress(g_host.library, "RemoveUIDlg"));
  }
  if (g_host.createDlg == nullptr || g_host.removeDlg == nullptr) {
    Log("no-library " + g_host.dllPath);
    return 2;
  }
  WNDCLASSA wc = {};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, 700, 600, 300, 120, nullptr, nullptr,
                                instance, nullptr);
  if (window == nullptr) {
    Log("no-window");
    return 3;
  }
  ShowWindow(window, SW_SHOWNOACTIVATE);
  if (g_host.create) PostMessageA(window, kCreateCommand, 0, 0);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  FreeLibrary(g_host.library);
  Log("exit");
  return 0;
}
