#include "process_stats.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <string>
#include <vector>

namespace z9soak {

namespace {

using QuerySystem = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
using HandleCountFunction = BOOL(WINAPI*)(HANDLE, DWORD*);

constexpr int kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

// One entry of the system's handle table (the classic layout).
struct HandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT handle;
  void* object;
  ACCESS_MASK access;
};

QuerySystem QuerySystemFunction() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll ? reinterpret_cast<QuerySystem>(GetProcAddress(ntdll, "NtQuerySystemInformation")) : nullptr;
}

// Calls NtQuerySystemInformation with a buffer that grows until it fits
// (at most 64 MiB).
bool QueryTable(int infoClass, std::vector<BYTE>* out) {
  QuerySystem query = QuerySystemFunction();
  if (query == nullptr) return false;
  out->assign(256 * 1024, 0);
  for (;;) {
    ULONG needed = 0;
    const LONG status = query(infoClass, out->data(), static_cast<ULONG>(out->size()), &needed);
    if (status == 0) return true;
    if (status != kInfoLengthMismatch || out->size() >= (64u << 20)) return false;
    const size_t grown = out->size() * 2;
    out->assign(needed > grown ? needed + 4096 : grown, 0);
  }
}

// The process's own counter (a process always holds handles: 0 means the
// system does not count).
long OwnCounter(DWORD pid) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto count = kernel ? reinterpret_cast<HandleCountFunction>(GetProcAddress(kernel, "GetProcessHandleCount"))
                      : nullptr;
  if (count == nullptr) return -1;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (process == nullptr) return -1;
  DWORD n = 0;
  const BOOL ok = count(process, &n);
  CloseHandle(process);
  return ok && n > 0 ? static_cast<long>(n) : -1;
}

long FromHandleTable(DWORD pid) {
  std::vector<BYTE> table;
  if (!QueryTable(kSystemHandleInformation, &table) || table.size() < sizeof(ULONG)) return -1;
  const ULONG count = *reinterpret_cast<const ULONG*>(table.data());
  const size_t first = sizeof(ULONG_PTR) > sizeof(ULONG) ? sizeof(ULONG_PTR) : sizeof(ULONG);
  if (count > (table.size() - first) / sizeof(HandleEntry)) return -1;
  const auto* entries = reinterpret_cast<const HandleEntry*>(table.data() + first);
  long n = 0;
  for (ULONG i = 0; i < count; ++i) n += entries[i].ownerPid == pid;
  return n > 0 ? n : -1;
}

// PrivateUsage where the system fills it, else the page-file usage, which
// counts the same committed private pages (Wine fills only the latter).
int64_t PrivateBytes(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (process == nullptr) return -1;
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  int64_t bytes = -1;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters)) {
    if (counters.PrivateUsage > 0)
      bytes = static_cast<int64_t>(counters.PrivateUsage);
    else if (counters.PagefileUsage > 0)
      bytes = static_cast<int64_t>(counters.PagefileUsage);
  }
  CloseHandle(process);
  return bytes;
}

using QueryObjectFunction = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

// An object's type or name as NtQueryObject gives it (a UNICODE_STRING
// followed by its text), in ANSI.
std::string ObjectText(HANDLE h, int infoClass) {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  auto query = ntdll ? reinterpret_cast<QueryObjectFunction>(GetProcAddress(ntdll, "NtQueryObject")) : nullptr;
  if (query == nullptr) return "?";
  std::vector<BYTE> buffer(4096, 0);
  ULONG needed = 0;
  if (query(h, infoClass, buffer.data(), static_cast<ULONG>(buffer.size()) - 2, &needed) != 0) return "?";
  const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
  if (text->Buffer == nullptr || text->Length == 0) return "";
  const BYTE* first = reinterpret_cast<const BYTE*>(text->Buffer);
  if (first < buffer.data() || first + text->Length > buffer.data() + buffer.size()) return "?";
  char out[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text->Buffer, text->Length / 2, out, sizeof out - 1, nullptr, nullptr);
  return out;
}

}  // namespace

std::vector<unsigned> HandleValues(DWORD pid) {
  std::vector<unsigned> values;
  std::vector<BYTE> table;
  if (!QueryTable(kSystemHandleInformation, &table) || table.size() < sizeof(ULONG)) return values;
  const ULONG count = *reinterpret_cast<const ULONG*>(table.data());
  const size_t first = sizeof(ULONG_PTR) > sizeof(ULONG) ? sizeof(ULONG_PTR) : sizeof(ULONG);
  if (count > (table.size() - first) / sizeof(HandleEntry)) return values;
  const auto* entries = reinterpret_cast<const HandleEntry*>(table.data() + first);
  for (ULONG i = 0; i < count; ++i)
    if (entries[i].ownerPid == pid) values.push_back(entries[i].handle);
  return values;
}

std::string DescribeHandle(DWORD pid, unsigned value) {
  HANDLE process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid);
  if (process == nullptr) return "?";
  HANDLE copy = nullptr;
  std::string text = "?";
  if (DuplicateHandle(process, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value)), GetCurrentProcess(), &copy,
                      0, FALSE, DUPLICATE_SAME_ACCESS)) {
    constexpr int kObjectNameInformation = 1, kObjectTypeInformation = 2;
    text = ObjectText(copy, kObjectTypeInformation) + " " + ObjectText(copy, kObjectNameInformation);
    CloseHandle(copy);
  }
  CloseHandle(process);
  return text;
}

long CountThreads(DWORD pid) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 t{};
  t.dwSize = sizeof t;
  long n = 0;
  for (BOOL more = Thread32First(snap, &t); more; more = Thread32Next(snap, &t)) n += t.th32OwnerProcessID == pid;
  CloseHandle(snap);
  return n;
}

HandleSource ChooseHandleSource(DWORD pid) {
  if (OwnCounter(pid) > 0) return HandleSource::OwnCounter;
  if (FromHandleTable(pid) > 0) return HandleSource::HandleTable;
  return HandleSource::None;
}

const char* HandleSourceName(HandleSource source) {
  switch (source) {
    case HandleSource::OwnCounter: return "GetProcessHandleCount";
    case HandleSource::HandleTable: return "NtQuerySystemInformation(SystemHandleInformation)";
    default: return "none";
  }
}

ProcessStats MeasureProcess(DWORD pid, HandleSource source) {
  ProcessStats s;
  switch (source) {
    case HandleSource::OwnCounter: s.handles = OwnCounter(pid); break;
    case HandleSource::HandleTable: s.handles = FromHandleTable(pid); break;
    default: break;
  }
  s.threads = CountThreads(pid);
  s.privateBytes = PrivateBytes(pid);
  return s;
}

}  // namespace z9soak
