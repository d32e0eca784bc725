// The Windows side of the install/uninstall round trip (roundtrip.sh): runs
// programs the way a user or the system would and reports what they showed.
//
//   pkgprobe run MS CMDLINE          run, press OK/Yes on every message box of
//                                    the process ("box: <title>: <text>" lines);
//                                    exit code: the program's, 99 on time-out
//   pkgprobe start-run-entry         start HKLM ...\Run "Z9100Mnt" as at logon
//   pkgprobe wait-window CLASS TITLE MS / wait-no-window CLASS TITLE MS  (TITLE * : any)
//   pkgprobe close-window CLASS TITLE  post WM_CLOSE to that window (TITLE * : any)
//   pkgprobe shortcut LNK            print the link's target
//   pkgprobe frame                   the capture filter's property frame: print
//                                    its tab titles, then close it
//   pkgprobe setup-ui EXE PNG        run a setup program interactively: save
//                                    its welcome page as PNG, press Install,
//                                    then Finish; exit code: the setup's
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <ocidl.h>
#include <olectl.h>
#include <prsht.h>
#include <shlobj.h>
#include <strmif.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "wintest.h"

namespace {

const CLSID kProxyFilter = {0x17CCA71B, 0xECD7, 0x11D0, {0xB9, 0x08, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

int Usage() {
  std::fprintf(stderr, "usage: see the head of pkgprobe.cpp\n");
  return 2;
}

// Joins argv[first...] with blanks (each part as given: quoting is the caller's).
std::string Join(int argc, char** argv, int first) {
  std::string s;
  for (int i = first; i < argc; ++i) s += (s.empty() ? "" : " ") + std::string(argv[i]);
  return s;
}

bool Start(const std::string& commandLine, PROCESS_INFORMATION* pi) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, pi) != FALSE;
}

// Answers every message box of `pid` until the process ends or time runs out.
int RunAnswering(DWORD timeoutMs, const std::string& commandLine) {
  PROCESS_INFORMATION pi = {};
  if (!Start(commandLine, &pi)) {
    std::printf("cannot start: %s (error %lu)\n", commandLine.c_str(), GetLastError());
    return 98;
  }
  std::vector<HWND> answered;
  const DWORD start = GetTickCount();
  DWORD code = 99;
  for (;;) {
    if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) {
      GetExitCodeProcess(pi.hProcess, &code);
      break;
    }
    if (GetTickCount() - start > timeoutMs) {
      std::printf("time-out: %s\n", commandLine.c_str());
      TerminateProcess(pi.hProcess, 99);
      break;
    }
    for (HWND box : wintest::WindowsOfProcess(pi.dwProcessId, "#32770")) {
      if (!IsWindowVisible(box) || GetDlgItem(box, 0xFFFF) == nullptr) continue;
      bool seen = false;
      for (HWND h : answered) seen = seen || h == box;
      if (seen) continue;
      answered.push_back(box);
      std::printf("box: %s: %s\n", wintest::WindowText(box).c_str(), wintest::DialogText(box).c_str());
      std::fflush(stdout);
      wintest::PressDialogButton(box, GetDlgItem(box, IDYES) ? IDYES : IDOK);
    }
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::printf("exit: %lu\n", code);
  return static_cast<int>(code);
}

int StartRunEntry() {
  std::string command;
  if (!wintest::RegGetString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Z9100Mnt",
                             &command)) {
    std::printf("no Run entry Z9100Mnt\n");
    return 1;
  }
  PROCESS_INFORMATION pi = {};
  if (!Start(command, &pi)) {
    std::printf("cannot start the Run entry %s (error %lu)\n", command.c_str(), GetLastError());
    return 1;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::printf("started: %s\n", command.c_str());
  return 0;
}

int Shortcut(const char* path) {
  CoInitialize(nullptr);
  int rc = 1;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(wide, STGM_READ))) {
      char target[MAX_PATH] = {};
      if (SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0))) {
        std::printf("%s\n", target);
        rc = 0;
      }
    }
    if (file) file->Release();
    link->Release();
  }
  if (rc != 0) std::printf("not a shell link: %s\n", path);
  CoUninitialize();
  return rc;
}

std::vector<std::string> TabTitles(HWND tabs) {
  std::vector<std::string> titles;
  const int n = static_cast<int>(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    wchar_t text[128] = {};
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    char narrow[256] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    titles.push_back(narrow);
  }
  return titles;
}

// Reads the frame's tabs on its own thread while the frame's modal loop runs.
void WatchFrame(DWORD threadId, std::vector<std::string>* titles, std::atomic<bool>* returned) {
  HWND frame = nullptr;
  wintest::WaitUntil(
      [&] {
        for (HWND w : wintest::WindowsOfProcess(GetCurrentProcessId(), "#32770"))
          if (GetWindowThreadProcessId(w, nullptr) == threadId && IsWindowVisible(w)) frame = w;
        return frame != nullptr || returned->load();
      },
      20000, 50);
  if (frame != nullptr) {
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(frame, PSM_GETTABCONTROL, 0, 0));
    wintest::WaitUntil([&] { return tabs && SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0) >= 4; }, 10000, 50);
    if (tabs) *titles = TabTitles(tabs);
    SendMessageW(frame, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  }
  for (int round = 0; round < 50 && !returned->load(); ++round) {
    for (HWND w : wintest::WindowsOfProcess(GetCurrentProcessId()))
      if (GetWindowThreadProcessId(w, nullptr) == threadId) PostMessageW(w, WM_NULL, 0, 0);
    if (round > 10)
      for (HWND w : wintest::WindowsOfProcess(GetCurrentProcessId()))
        if (GetWindowThreadProcessId(w, nullptr) == threadId) PostMessageW(w, WM_CLOSE, 0, 0);
    Sleep(200);
  }
}

int Frame() {
  CoInitialize(nullptr);
  int rc = 1;
  IUnknown* filter = nullptr;
  ISpecifyPropertyPages* specify = nullptr;
  CAUUID pages = {};
  if (FAILED(CoCreateInstance(kProxyFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              reinterpret_cast<void**>(&filter)))) {
    std::printf("no capture filter object\n");
  } else if (FAILED(filter->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify))) ||
             FAILED(specify->GetPages(&pages))) {
    std::printf("the filter names no pages\n");
  } else {
    std::printf("pages: %lu\n", pages.cElems);
    std::vector<std::string> titles;
    std::atomic<bool> returned{false};
    const DWORD thread = GetCurrentThreadId();
    wintest::Thread watcher([&] { WatchFrame(thread, &titles, &returned); });
    IUnknown* objects[] = {filter};
    const HRESULT hr = OleCreatePropertyFrame(nullptr, 20, 20, L"Camera", 1, objects, pages.cElems, pages.pElems,
                                              MAKELCID(1033, SORT_DEFAULT), 0, nullptr);
    returned = true;
    watcher.Join();
    for (const std::string& t : titles) std::printf("tab: %s\n", t.c_str());
    rc = SUCCEEDED(hr) && !titles.empty() ? 0 : 1;
  }
  if (pages.pElems) CoTaskMemFree(pages.pElems);
  if (specify) specify->Release();
  if (filter) filter->Release();
  CoUninitialize();
  return rc;
}

// The setup program's main window: the visible top-level dialog of `pid`
// whose default button (id 1) reads `text`.
HWND SetupPage(DWORD pid, const char* text, DWORD timeoutMs) {
  HWND found = nullptr;
  wintest::WaitUntil(
      [&] {
        for (HWND w : wintest::WindowsOfProcess(pid, "#32770")) {
          HWND next = GetDlgItem(w, IDOK);
          if (IsWindowVisible(w) && next && IsWindowEnabled(next) && wintest::WindowText(next) == text) found = w;
        }
        return found != nullptr;
      },
      timeoutMs, 100);
  return found;
}

int SetupUi(const char* exe, const char* png) {
  PROCESS_INFORMATION pi = {};
  if (!Start(std::string("\"") + exe + "\"", &pi)) {
    std::printf("cannot start %s (error %lu)\n", exe, GetLastError());
    return 98;
  }
  int rc = 97;
  HWND page = SetupPage(pi.dwProcessId, "&Install", 30000);
  if (page == nullptr) page = SetupPage(pi.dwProcessId, "&Next >", 1000);
  if (page == nullptr) {
    std::printf("no welcome page\n");
  } else {
    RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(700);
    std::printf("screenshot: %s\n", wintest::SaveScreenPng(png, page) ? "saved" : "FAILED");
    std::printf("page: %s\n", wintest::WindowText(page).c_str());
    PostMessageA(page, WM_COMMAND, IDOK, 0);
    HWND finish = SetupPage(pi.dwProcessId, "&Finish", 120000);
    if (finish == nullptr) {
      std::printf("no finish page\n");
    } else {
      PostMessageA(finish, WM_COMMAND, IDOK, 0);
      rc = 96;
    }
  }
  DWORD code = static_cast<DWORD>(rc);
  if (WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(pi.hProcess, &code);
  } else {
    TerminateProcess(pi.hProcess, 99);
    code = 99;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::printf("exit: %lu\n", code);
  return rc == 96 ? static_cast<int>(code) : rc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];
  if (cmd == "run" && argc > 3) return RunAnswering(static_cast<DWORD>(atol(argv[2])), Join(argc, argv, 3));
  if (cmd == "start-run-entry") return StartRunEntry();
  if ((cmd == "wait-window" || cmd == "wait-no-window") && argc == 5) {
    const DWORD ms = static_cast<DWORD>(atol(argv[4]));
    const char* title = std::string(argv[3]) == "*" ? nullptr : argv[3];
    if (cmd == "wait-window") return wintest::WaitForWindow(argv[2], title, ms) ? 0 : 1;
    return wintest::WaitForNoWindow(argv[2], title, ms) ? 0 : 1;
  }
  if (cmd == "close-window" && argc == 4) {
    HWND w = FindWindowA(argv[2], std::string(argv[3]) == "*" ? nullptr : argv[3]);
    return w != nullptr && PostMessageA(w, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  if (cmd == "shortcut" && argc == 3) return Shortcut(argv[2]);
  if (cmd == "frame") return Frame();
  if (cmd == "setup-ui" && argc == 4) return SetupUi(argv[2], argv[3]);
  return Usage();
}
