// The runtime's wide calls answered through the ANSI forms (this program links
// the same import slots as the deliverables).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(LegacyRuntime, ModuleCallsFindWhatTheAnsiFormsFind) {
  EXPECT_EQ(GetModuleHandleW(L"kernel32.dll"), GetModuleHandleA("kernel32.dll"));
  EXPECT_EQ(GetModuleHandleW(nullptr), GetModuleHandleA(nullptr));
  EXPECT_EQ(GetModuleHandleW(L"z9-no-such-module.dll"), nullptr);

  HMODULE loaded = LoadLibraryW(L"shlwapi.dll");
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded, GetModuleHandleA("shlwapi.dll"));
  FreeLibrary(loaded);
  EXPECT_EQ(LoadLibraryW(nullptr), nullptr);
}

TEST(LegacyRuntime, SemaphoresKeepTheirNames) {
  HANDLE unnamed = CreateSemaphoreW(nullptr, 1, 1, nullptr);
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(WaitForSingleObject(unnamed, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(unnamed, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  CloseHandle(unnamed);

  HANDLE named = CreateSemaphoreW(nullptr, 0, 2, L"z9-legacy-runtime-test");
  ASSERT_NE(named, nullptr);
  HANDLE same = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, "z9-legacy-runtime-test");
  EXPECT_NE(same, nullptr) << "the name did not reach the ANSI call";
  if (same) CloseHandle(same);
  CloseHandle(named);

  // A name that cannot be narrowed into a path-sized buffer fails cleanly.
  std::wstring tooLong(2 * MAX_PATH, L'x');
  SetLastError(0);
  EXPECT_EQ(CreateSemaphoreW(nullptr, 0, 1, tooLong.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

// CloseHandle goes through this code base's slot as well (it keeps the record
// of the runtime's semaphores): it still closes each handle once, more
// semaphores than the record holds included, and refuses one it closed.
TEST(LegacyRuntime, CloseHandleClosesEachHandleOnce) {
  std::vector<HANDLE> handles;
  for (int i = 0; i < 100; ++i) {
    HANDLE h = CreateSemaphoreW(nullptr, 0, 1, nullptr);
    ASSERT_NE(h, nullptr) << "semaphore " << i;
    handles.push_back(h);
  }
  handles.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ASSERT_NE(handles.back(), nullptr);
  for (HANDLE h : handles) EXPECT_TRUE(CloseHandle(h)) << h;
  for (HANDLE h : handles) {
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(h)) << h;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
}

// The unwinder's locks are made of these semaphores: exceptions thrown on
// several threads at once must all be caught.
DWORD WINAPI ThrowMany(void* counter) {
  for (int i = 0; i < 2000; ++i) {
    try {
      throw i;
    } catch (int) {
      InterlockedIncrement(static_cast<LONG*>(counter));
    }
  }
  return 0;
}

TEST(LegacyRuntime, ExceptionsOnSeveralThreads) {
  LONG caught = 0;
  HANDLE threads[4];
  for (HANDLE& t : threads) {
    t = CreateThread(nullptr, 0, ThrowMany, &caught, 0, nullptr);
    ASSERT_NE(t, nullptr);
  }
  EXPECT_EQ(WaitForMultipleObjects(4, threads, TRUE, 30000), WAIT_OBJECT_0);
  for (HANDLE t : threads) CloseHandle(t);
  EXPECT_EQ(caught, 4 * 2000);
}

}  // namespace
