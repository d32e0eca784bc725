#include "wintest.h"

#include <chrono>
#include <cstring>
#include <memory>

namespace wintest {

namespace {
DWORD Elapsed(DWORD start) { return GetTickCount() - start; }
}  // namespace

void PumpFor(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    DWORD left = ms > Elapsed(start) ? ms - Elapsed(start) : 0;
    if (left == 0) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, left < 10 ? left : 10, QS_ALLINPUT);
  } while (Elapsed(start) < ms);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (Elapsed(start) >= timeoutMs) return done();
    PumpFor(stepMs);
  }
}

std::string ExeDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* slash = strrchr(path, '\\');
  if (slash) *slash = '\0';
  return path;
}

// --- programs ---------------------------------------------------------------

Process::~Process() {
  Kill();
}

Process::Process(Process&& o) noexcept : pi_(o.pi_) { o.pi_ = {}; }

Process& Process::operator=(Process&& o) noexcept {
  if (this != &o) {
    Kill();
    pi_ = o.pi_;
    o.pi_ = {};
  }
  return *this;
}

bool Process::Start(const std::string& commandLine, const std::string& directory) {
  Kill();
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  std::vector<char> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back('\0');
  return CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &si, &pi_) != FALSE;
}

bool Process::Wait(DWORD timeoutMs, DWORD* exitCode) {
  if (!pi_.hProcess) return false;
  // Pump while waiting: the process may send messages to our windows.
  DWORD start = GetTickCount();
  for (;;) {
    DWORD left = timeoutMs > Elapsed(start) ? timeoutMs - Elapsed(start) : 0;
    DWORD r = MsgWaitForMultipleObjects(1, &pi_.hProcess, FALSE, left, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) break;
    if (r != WAIT_OBJECT_0 + 1) return false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (Elapsed(start) >= timeoutMs && WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) return false;
  }
  if (exitCode) GetExitCodeProcess(pi_.hProcess, exitCode);
  return true;
}

bool Process::Running() const { return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }

void Process::Kill() {
  if (pi_.hProcess) {
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(pi_.hProcess, 1);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hProcess);
  }
  if (pi_.hThread) CloseHandle(pi_.hThread);
  pi_ = {};
}

bool RunProgram(const std::string& commandLine, DWORD timeoutMs, DWORD* exitCode) {
  Process p;
  if (!p.Start(commandLine)) return false;
  if (!p.Wait(timeoutMs, exitCode)) {
    p.Kill();
    return false;
  }
  return true;
}

// --- windows -------------------------------------------------------------------

HWND WaitForWindow(const char* className, const char* title, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowA(className, title)) != nullptr; }, timeoutMs);
  return found;
}

bool WaitForNoWindow(const char* className, const char* title, DWORD timeoutMs) {
  return WaitUntil([&] { return FindWindowA(className, title) == nullptr; }, timeoutMs);
}

std::string ClassOf(HWND hwnd) {
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

std::string WindowText(HWND hwnd) {
  WCHAR text[1024] = {};
  // Wide: Wine converts cross-process ANSI texts unreliably.
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
  char out[2048] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, out, sizeof out, nullptr, nullptr);
  return out;
}

namespace {
struct EnumState {
  DWORD pid;
  const char* cls;
  std::vector<HWND>* out;
};
BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<EnumState*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if ((s->pid == 0 || pid == s->pid) && (s->cls == nullptr || ClassOf(hwnd) == s->cls)) s->out->push_back(hwnd);
  return TRUE;
}
}  // namespace

std::vector<HWND> WindowsOfProcess(DWORD processId, const char* className) {
  std::vector<HWND> out;
  EnumState s = {processId, className, &out};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&s));
  return out;
}

HWND FindChildByClass(HWND parent, const char* className) { return FindWindowExA(parent, nullptr, className, nullptr); }

std::vector<std::string> ReadListBoxLines(HWND listBox) {
  std::vector<std::string> lines;
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutW(listBox, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count)) return lines;
  for (int i = 0; i < static_cast<int>(count); ++i) {
    DWORD_PTR len = 0;
    SendMessageTimeoutW(listBox, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, 2000, &len);
    if (static_cast<LONG_PTR>(len) < 0) len = 0;
    std::vector<WCHAR> w(len + 2, 0);
    SendMessageTimeoutW(listBox, LB_GETTEXT, i, reinterpret_cast<LPARAM>(w.data()), SMTO_ABORTIFHUNG, 2000, nullptr);
    int n = WideCharToMultiByte(CP_ACP, 0, w.data(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, w.data(), -1, &s[0], n, nullptr, nullptr);
    s.resize(strlen(s.c_str()));
    lines.push_back(s);
  }
  return lines;
}

int WaitForListLine(HWND listBox, const std::string& line, DWORD timeoutMs, bool partial) {
  int index = -1;
  WaitUntil(
      [&] {
        auto lines = ReadListBoxLines(listBox);
        for (size_t i = 0; i < lines.size(); ++i) {
          if (partial ? lines[i].find(line) != std::string::npos : lines[i] == line) {
            index = static_cast<int>(i);
            return true;
          }
        }
        return false;
      },
      timeoutMs, 50);
  return index;
}

// --- threads ------------------------------------------------------------------------

namespace {
DWORD WINAPI ThreadEntry(void* param) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(param));
  (*body)();
  return 0;
}
}  // namespace

Thread::Thread(std::function<void()> body) {
  auto* owned = new std::function<void()>(std::move(body));
  handle_ = CreateThread(nullptr, 0, ThreadEntry, owned, 0, nullptr);
  if (handle_ == nullptr) delete owned;
}

Thread::~Thread() { Join(); }

Thread::Thread(Thread&& o) noexcept : handle_(o.handle_) { o.handle_ = nullptr; }

Thread& Thread::operator=(Thread&& o) noexcept {
  if (this != &o) {
    Join();
    handle_ = o.handle_;
    o.handle_ = nullptr;
  }
  return *this;
}

void Thread::Join() {
  if (handle_ == nullptr) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
}

// --- message boxes ------------------------------------------------------------------

HWND FindDialogBox(const char* title, DWORD processId) {
  for (HWND h : WindowsOfProcess(processId, "#32770")) {
    if (!IsWindowVisible(h)) continue;
    if (title == nullptr || WindowText(h) == title) return h;
  }
  return nullptr;
}

std::string DialogText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text ? WindowText(text) : std::string();
}

void PressDialogButton(HWND box, int button) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

MessageBoxWatcher::MessageBoxWatcher(const char* title, DWORD processId, int button, DWORD timeoutMs) {
  std::string wanted = title ? title : "";
  bool anyTitle = title == nullptr;
  thread_ = Thread([this, wanted, anyTitle, processId, button, timeoutMs] {
    DWORD start = GetTickCount();
    while (!stop_ && Elapsed(start) < timeoutMs) {
      HWND box = FindDialogBox(anyTitle ? nullptr : wanted.c_str(), processId);
      if (box) {
        Sleep(50);  // let the box finish laying itself out
        caption_ = WindowText(box);
        text_ = DialogText(box);
        found_ = true;
        PressDialogButton(box, button);
        break;
      }
      Sleep(25);
    }
    done_ = true;
  });
}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.Join();
}

bool MessageBoxWatcher::Wait(DWORD timeoutMs) {
  WaitUntil([this] { return done_.load(); }, timeoutMs);
  if (done_) thread_.Join();
  return done_ && found_;
}

// --- registry ----------------------------------------------------------------------

namespace {
class Key {
 public:
  Key(HKEY root, const std::string& path, bool create, REGSAM access) {
    LONG r = create ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, access, nullptr, &k_, nullptr)
                    : RegOpenKeyExA(root, path.c_str(), 0, access, &k_);
    if (r != ERROR_SUCCESS) k_ = nullptr;
  }
  ~Key() {
    if (k_) RegCloseKey(k_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return k_; }

 private:
  HKEY k_ = nullptr;
};
}  // namespace

bool RegSetBinary(HKEY root, const std::string& path, const char* name, const void* data, DWORD size, DWORD type) {
  Key k(root, path, true, KEY_WRITE);
  return k.get() && RegSetValueExA(k.get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool RegSetDword(HKEY root, const std::string& path, const char* name, DWORD value) {
  return RegSetBinary(root, path, name, &value, sizeof value, REG_DWORD);
}

bool RegSetString(HKEY root, const std::string& path, const char* name, const std::string& value) {
  return RegSetBinary(root, path, name, value.c_str(), static_cast<DWORD>(value.size() + 1), REG_SZ);
}

bool RegGetDword(HKEY root, const std::string& path, const char* name, DWORD* value) {
  Key k(root, path, false, KEY_READ);
  DWORD size = sizeof *value;
  return k.get() && RegQueryValueExA(k.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
                        ERROR_SUCCESS;
}

bool RegGetString(HKEY root, const std::string& path, const char* name, std::string* value) {
  Key k(root, path, false, KEY_READ);
  if (!k.get()) return false;
  char buf[4096] = {};
  DWORD size = sizeof buf - 1;
  if (RegQueryValueExA(k.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
    return false;
  *value = buf;
  return true;
}

bool RegDeleteValueAt(HKEY root, const std::string& path, const char* name) {
  Key k(root, path, false, KEY_WRITE);
  return k.get() && RegDeleteValueA(k.get(), name) == ERROR_SUCCESS;
}

bool RegKeyExists(HKEY root, const std::string& path) {
  Key k(root, path, false, KEY_READ);
  return k.get() != nullptr;
}

std::vector<std::string> RegSubkeys(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  Key k(root, path, false, KEY_READ);
  if (!k.get()) return names;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD len = sizeof name;
    if (RegEnumKeyExA(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.push_back(name);
  }
  return names;
}

bool RegDeleteKeyTree(HKEY root, const std::string& path) {
  for (const std::string& sub : RegSubkeys(root, path)) RegDeleteKeyTree(root, path + "\\" + sub);
  return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

// --- files -----------------------------------------------------------------------

bool IniWrite(const std::string& file, const char* section, const char* key, const char* value) {
  BOOL ok = WritePrivateProfileStringA(section, key, value, file.c_str());
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());  // flush the cache
  return ok != FALSE;
}

std::string IniRead(const std::string& file, const char* section, const char* key, const char* def) {
  char buf[2048] = {};
  GetPrivateProfileStringA(section, key, def, buf, sizeof buf, file.c_str());
  return buf;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == bytes.size();
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) bytes->append(buf, got);
  CloseHandle(f);
  return true;
}

std::vector<std::string> ReadFileLines(const std::string& path) {
  std::string bytes;
  std::vector<std::string> lines;
  if (!ReadFileBytes(path, &bytes)) return lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

bool DeleteFileIfAny(const std::string& path) {
  return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
}

std::string WindowsDir() {
  char buf[MAX_PATH] = {};
  GetWindowsDirectoryA(buf, MAX_PATH);
  return buf;
}

std::string SystemDir() {
  char buf[MAX_PATH] = {};
  GetSystemDirectoryA(buf, MAX_PATH);
  return buf;
}

bool MakeDirs(const std::string& path) {
  for (size_t i = 3; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
  }
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// --- screenshots -------------------------------------------------------------------

namespace {

uint32_t Crc32(const unsigned char* data, size_t n, uint32_t crc = 0) {
  static uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    ready = true;
  }
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

void PutBE32(std::string& s, uint32_t v) {
  for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>(v >> (8 * i)));
}

void Chunk(std::string& png, const char* type, const std::string& data) {
  PutBE32(png, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  png += body;
  PutBE32(png, Crc32(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
}

// A PNG with an uncompressed ("stored") zlib stream: small code, valid file.
std::string EncodePng(int width, int height, const std::vector<unsigned char>& rgbRows) {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr;
  PutBE32(ihdr, width);
  PutBE32(ihdr, height);
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  Chunk(png, "IHDR", ihdr);

  std::string raw;
  const size_t row = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');  // filter: none
    raw.append(reinterpret_cast<const char*>(&rgbRows[y * row]), row);
  }
  std::string z("\x78\x01", 2);
  for (size_t pos = 0; pos < raw.size() || pos == 0;) {
    size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
    bool last = pos + n >= raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(static_cast<char>(n & 0xFF));
    z.push_back(static_cast<char>(n >> 8));
    z.push_back(static_cast<char>(~n & 0xFF));
    z.push_back(static_cast<char>((~n >> 8) & 0xFF));
    z.append(raw, pos, n);
    pos += n;
    if (last) break;
  }
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  PutBE32(z, (b << 16) | a);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", "");
  return png;
}

}  // namespace

bool SaveScreenPng(const std::string& path, HWND window) {
  RECT r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (window) GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bmp) {
    HGDIOBJ old = SelectObject(mem, bmp);
    ok = BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(mem, old);
    if (ok) {
      std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
      const unsigned char* src = static_cast<const unsigned char*>(bits);
      for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
        rgb[3 * i] = src[4 * i + 2];
        rgb[3 * i + 1] = src[4 * i + 1];
        rgb[3 * i + 2] = src[4 * i];
      }
      ok = WriteFileBytes(path, EncodePng(w, h, rgb));
    }
    DeleteObject(bmp);
  }
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace wintest
