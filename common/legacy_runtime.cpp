// Three wide-character calls that the C and C++ runtime libraries make on
// their own, answered through their ANSI forms.
//
// libgcc creates the semaphores of its locks (unwinder, thread-local storage)
// with CreateSemaphoreW, and the runtime's rand_s and printf helpers look for
// system DLLs with GetModuleHandleW / LoadLibraryW. On Windows 98 and ME these
// W functions are stubs that fail. Defining the import slots (__imp_...) here
// makes the linker take them instead of the KERNEL32 ones, so a deliverable
// imports only the ANSI forms. Every deliverable links this object.
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

HANDLE WINAPI SemaphoreNarrow(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum, LPCWSTR name) {
  if (name == nullptr) return CreateSemaphoreA(security, initial, maximum, nullptr);
  NarrowName narrow(name);
  if (!narrow.ok()) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  return CreateSemaphoreA(security, initial, maximum, narrow.get());
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

// The import slots, under the names the linker looks for: stdcall-decorated
// on i686, plain on x86-64.
#if defined(__i386__)
#define Z9_IMPORT_SLOT(name, argBytes) "__imp__" #name "@" #argBytes
#else
#define Z9_IMPORT_SLOT(name, argBytes) "__imp_" #name
#endif

extern "C" {
extern decltype(&CreateSemaphoreW) const z9CreateSemaphoreWSlot __asm__(Z9_IMPORT_SLOT(CreateSemaphoreW, 16));
extern decltype(&GetModuleHandleW) const z9GetModuleHandleWSlot __asm__(Z9_IMPORT_SLOT(GetModuleHandleW, 4));
extern decltype(&LoadLibraryW) const z9LoadLibraryWSlot __asm__(Z9_IMPORT_SLOT(LoadLibraryW, 4));
decltype(&CreateSemaphoreW) const z9CreateSemaphoreWSlot = SemaphoreNarrow;
decltype(&GetModuleHandleW) const z9GetModuleHandleWSlot = ModuleHandleNarrow;
decltype(&LoadLibraryW) const z9LoadLibraryWSlot = LoadLibraryNarrow;
}
