// The C and C++ runtime libraries' own calls of four kernel functions, taken
// over here for two reasons: the wide forms they call fail on Windows 98 and
// ME, and the semaphores of their locks outlive a DLL's unload.
//
// Wide calls. libgcc creates the semaphores of its locks (the unwinder's
// frame registry, thread-local storage, libstdc++'s mutexes and the guard of
// local statics) with CreateSemaphoreW, and the runtime's rand_s and printf
// helpers look for system DLLs with GetModuleHandleW / LoadLibraryW. On
// Windows 98 and ME these W functions are stubs that fail. Defining the
// import slots (__imp_...) here makes the linker take them instead of the
// KERNEL32 ones, so a module imports only the ANSI forms. Every deliverable
// links this object.
//
// Semaphores left at unload. With the win32 thread model each runtime lock
// is a semaphore made on first use. Locks that belong to an object with a
// destructor (libstdc++'s locale and allocator mutexes, the exception
// pool's) close theirs when the module's destructors run; the others never
// do: the frame registry's lock (i686), the guard of local statics, the
// lock of emulated thread-local storage. In a program that is harmless, but
// a DLL that is loaded and freed again and again (the capture dialog by its
// TWAIN host, the page server by COM) leaves one or two semaphores in the
// host at every unload. So every semaphore made through the wide slot is
// recorded while it is open: CloseHandle is taken over too, and a closed
// handle leaves the record before its value can be given out again. What is
// still recorded when the DLL's runtime has finished its teardown (see
// runtime_unload.cpp) can belong to nobody any more and is closed. Only the
// runtime calls CreateSemaphoreW here (our own code uses the A forms), so the
// record holds runtime locks only. A full record leaves further semaphores
// unrecorded: open, as before, never wrongly closed.
#include "legacy_runtime.h"

#include <windows.h>

namespace {

// A module or object name, narrowed for the ANSI call. Names the runtime
// passes are short ASCII ("msvcrt.dll", "advapi32.dll"); a name that does not
// fit fails the call, as an unknown module would.
class NarrowName {
 public:
  explicit NarrowName(const wchar_t* wide) {
    if (wide == nullptr) return;
    ok_ = WideCharToMultiByte(CP_ACP, 0, wide, -1, text_, sizeof text_, nullptr, nullptr) > 0;
  }
  bool ok() const { return ok_; }
  const char* get() const { return text_; }

 private:
  char text_[MAX_PATH] = {};
  bool ok_ = false;
};

// The runtime's open semaphores. Lock-free (each entry is claimed and freed
// with one compare-exchange), so that it serves before the runtime's own
// locks exist and while the loader lock is held. A handle value is unique
// while it is open, so it is in at most one entry.
constexpr int kRecordSize = 64;
PVOID volatile g_runtimeSemaphores[kRecordSize];

void Remember(HANDLE semaphore) {
  for (PVOID volatile& entry : g_runtimeSemaphores)
    if (InterlockedCompareExchangePointer(&entry, semaphore, nullptr) == nullptr) return;
}

void Forget(HANDLE handle) {
  for (PVOID volatile& entry : g_runtimeSemaphores)
    if (InterlockedCompareExchangePointer(&entry, nullptr, handle) == handle) return;
}

// KERNEL32's CloseHandle: the import slot of that name is ours.
BOOL CloseForReal(HANDLE handle) {
  static decltype(&CloseHandle) volatile closeHandle = nullptr;  // constant-initialised: no guard
  decltype(&CloseHandle) close = closeHandle;
  if (close == nullptr) {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    close = kernel ? reinterpret_cast<decltype(&CloseHandle)>(GetProcAddress(kernel, "CloseHandle")) : nullptr;
    if (close == nullptr) {
      SetLastError(ERROR_PROC_NOT_FOUND);
      return FALSE;
    }
    closeHandle = close;
  }
  return close(handle);
}

HANDLE WINAPI SemaphoreNarrow(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum, LPCWSTR name) {
  HANDLE semaphore = nullptr;
  if (name == nullptr) {
    semaphore = CreateSemaphoreA(security, initial, maximum, nullptr);
    // An unnamed semaphore is the runtime's alone; a named one may be shared.
    if (semaphore != nullptr) Remember(semaphore);
    return semaphore;
  }
  NarrowName narrow(name);
  if (!narrow.ok()) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  return CreateSemaphoreA(security, initial, maximum, narrow.get());
}

BOOL WINAPI CloseRecorded(HANDLE handle) {
  Forget(handle);
  return CloseForReal(handle);
}

HMODULE WINAPI ModuleHandleNarrow(LPCWSTR name) {
  if (name == nullptr) return GetModuleHandleA(nullptr);
  NarrowName narrow(name);
  if (!narrow.ok()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return GetModuleHandleA(narrow.get());
}

HMODULE WINAPI LoadLibraryNarrow(LPCWSTR name) {
  NarrowName narrow(name);
  if (!narrow.ok()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return LoadLibraryA(narrow.get());
}

}  // namespace

namespace z9 {

int CloseRuntimeLocks() {
  int closed = 0;
  for (PVOID volatile& entry : g_runtimeSemaphores) {
    HANDLE left = InterlockedExchangePointer(&entry, nullptr);
    if (left != nullptr && CloseForReal(left)) ++closed;
  }
  return closed;
}

}  // namespace z9

// The import slots, under the names the linker looks for: stdcall-decorated
// on i686, plain on x86-64.
#if defined(__i386__)
#define Z9_IMPORT_SLOT(name, argBytes) "__imp__" #name "@" #argBytes
#else
#define Z9_IMPORT_SLOT(name, argBytes) "__imp_" #name
#endif

extern "C" {
extern decltype(&CreateSemaphoreW) const z9CreateSemaphoreWSlot __asm__(Z9_IMPORT_SLOT(CreateSemaphoreW, 16));
extern decltype(&CloseHandle) const z9CloseHandleSlot __asm__(Z9_IMPORT_SLOT(CloseHandle, 4));
extern decltype(&GetModuleHandleW) const z9GetModuleHandleWSlot __asm__(Z9_IMPORT_SLOT(GetModuleHandleW, 4));
extern decltype(&LoadLibraryW) const z9LoadLibraryWSlot __asm__(Z9_IMPORT_SLOT(LoadLibraryW, 4));
decltype(&CreateSemaphoreW) const z9CreateSemaphoreWSlot = SemaphoreNarrow;
decltype(&CloseHandle) const z9CloseHandleSlot = CloseRecorded;
decltype(&GetModuleHandleW) const z9GetModuleHandleWSlot = ModuleHandleNarrow;
decltype(&LoadLibraryW) const z9LoadLibraryWSlot = LoadLibraryNarrow;
}
