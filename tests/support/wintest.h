// Helpers shared by the Windows-side tests: programs in the prefix, windows of
// other processes, message boxes, registry and profile files, screenshots.
// Every wait takes a bound in milliseconds; nothing here waits forever.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace wintest {

// --- waiting ---------------------------------------------------------------
// Polls `done` every `stepMs` until it is true or `timeoutMs` passed; pumps
// the calling thread's messages meanwhile. Returns the last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs = 20);
// Sleeps while pumping the calling thread's messages.
void PumpFor(DWORD ms);

// --- threads ---------------------------------------------------------------
// A function run on a Win32 thread of its own (the C++ thread library is not
// part of the win32-thread toolchain). Join() waits; the destructor joins.
class Thread {
 public:
  Thread() = default;
  explicit Thread(std::function<void()> body);
  ~Thread();
  Thread(Thread&& o) noexcept;
  Thread& operator=(Thread&& o) noexcept;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  bool Joinable() const { return handle_ != nullptr; }
  void Join();

 private:
  HANDLE handle_ = nullptr;
};

// --- programs ----------------------------------------------------------------
// The folder of the running test executable (where the build puts every binary).
std::string ExeDir();

class Process {
 public:
  Process() = default;
  ~Process();  // kills a process still running
  Process(Process&&) noexcept;
  Process& operator=(Process&&) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Starts `commandLine` (first token: the program); false when it cannot start.
  bool Start(const std::string& commandLine, const std::string& directory = "");
  // Waits for the end; false on time-out. exitCode gets the code.
  bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);
  bool Running() const;
  void Kill();
  DWORD Id() const { return pi_.dwProcessId; }
  HANDLE Handle() const { return pi_.hProcess; }

 private:
  PROCESS_INFORMATION pi_ = {};
};

// Starts, waits up to timeoutMs, kills on time-out. Returns false then.
bool RunProgram(const std::string& commandLine, DWORD timeoutMs, DWORD* exitCode = nullptr);

// --- windows -----------------------------------------------------------------
// FindWindowA until found or time-out; nullptr on time-out. Either may be null.
HWND WaitForWindow(const char* className, const char* title, DWORD timeoutMs);
// Waits until no window of the class/title exists.
bool WaitForNoWindow(const char* className, const char* title, DWORD timeoutMs);
// Top-level windows of a process, optionally of one class.
std::vector<HWND> WindowsOfProcess(DWORD processId, const char* className = nullptr);
// The first child of `parent` with the given class (e.g. "ListBox").
HWND FindChildByClass(HWND parent, const char* className);
std::string WindowText(HWND hwnd);
std::string ClassOf(HWND hwnd);

// Lines of a list box, also one of another process (wide messages: see notes).
std::vector<std::string> ReadListBoxLines(HWND listBox);
// Waits until the list box holds a line equal to `line` (or containing it when
// `partial`); returns its index or -1.
int WaitForListLine(HWND listBox, const std::string& line, DWORD timeoutMs, bool partial = false);

// --- message boxes ---------------------------------------------------------------
// Watches, from a thread of its own, for a dialog box (class "#32770") with the
// given title (nullptr: any) belonging to `processId` (0: any process), reads
// its text (static control 0xFFFF) and presses `button` (IDOK ...).
class MessageBoxWatcher {
 public:
  MessageBoxWatcher(const char* title, DWORD processId, int button, DWORD timeoutMs);
  ~MessageBoxWatcher();  // joins the thread
  // Waits for the watcher; true when a box was found and dismissed.
  bool Wait(DWORD timeoutMs);
  const std::string& Text() const { return text_; }
  const std::string& Caption() const { return caption_; }
  bool Found() const { return found_; }

 private:
  Thread thread_;
  std::atomic<bool> done_{false};
  std::atomic<bool> stop_{false};
  bool found_ = false;
  std::string text_;
  std::string caption_;
};

// Finds a box once (no thread): returns its handle or nullptr.
HWND FindDialogBox(const char* title, DWORD processId);
std::string DialogText(HWND box);  // static control 0xFFFF
void PressDialogButton(HWND box, int button);

// --- registry ------------------------------------------------------------------
bool RegSetDword(HKEY root, const std::string& path, const char* name, DWORD value);
bool RegSetString(HKEY root, const std::string& path, const char* name, const std::string& value);
bool RegSetBinary(HKEY root, const std::string& path, const char* name, const void* data, DWORD size, DWORD type);
bool RegGetDword(HKEY root, const std::string& path, const char* name, DWORD* value);
bool RegGetString(HKEY root, const std::string& path, const char* name, std::string* value);
bool RegDeleteValueAt(HKEY root, const std::string& path, const char* name);
bool RegKeyExists(HKEY root, const std::string& path);
bool RegDeleteKeyTree(HKEY root, const std::string& path);
// Names of the subkeys of a key (empty when missing).
std::vector<std::string> RegSubkeys(HKEY root, const std::string& path);

// --- files ---------------------------------------------------------------------
// Private-profile ("win.ini"-style) files; a bare file name lives in the
// Windows directory.
bool IniWrite(const std::string& file, const char* section, const char* key, const char* value);
std::string IniRead(const std::string& file, const char* section, const char* key, const char* def = "");
bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool ReadFileBytes(const std::string& path, std::string* bytes);
// The CR LF lines of a text file (none when it cannot be read).
std::vector<std::string> ReadFileLines(const std::string& path);
bool DeleteFileIfAny(const std::string& path);
std::string WindowsDir();
std::string SystemDir();
// Creates a folder and its parents.
bool MakeDirs(const std::string& path);

// --- screenshots ------------------------------------------------------------------
// Saves the whole screen (or one window's rectangle) as a 24-bit PNG.
bool SaveScreenPng(const std::string& path, HWND window = nullptr);

}  // namespace wintest
