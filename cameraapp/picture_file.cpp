#include "picture_file.h"

#include <cstdio>
#include <cstring>

#include "win_handles.h"

namespace z9app {

namespace {

constexpr uint32_t kLargestSide = 32767;
constexpr uint32_t kMostColours = 256;  // an optional table before 24-bit rows

using SpecialFolderPathFunction = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);
constexpr int kMyPictures = 0x27;  // CSIDL_MYPICTURES (shell 5 and later)

}  // namespace

bool ReadPictureDib(const void* dib, size_t size, Picture* out) {
  if (dib == nullptr || size < sizeof(BITMAPINFOHEADER)) return false;
  BITMAPINFOHEADER h;
  std::memcpy(&h, dib, sizeof h);
  if (h.biSize < sizeof h || h.biSize > size || h.biPlanes != 1 || h.biBitCount != 24 ||
      h.biCompression != BI_RGB || h.biClrUsed > kMostColours)
    return false;
  if (h.biWidth <= 0 || static_cast<uint32_t>(h.biWidth) > kLargestSide || h.biHeight == 0 ||
      h.biHeight < -static_cast<LONG>(kLargestSide) || h.biHeight > static_cast<LONG>(kLargestSide))
    return false;
  const uint64_t width = static_cast<uint64_t>(h.biWidth);
  const uint64_t rows = static_cast<uint64_t>(h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight);
  const uint64_t packed = width * 3;
  const uint64_t padded = (packed + 3) & ~uint64_t{3};
  const uint64_t offset = uint64_t{h.biSize} + uint64_t{h.biClrUsed} * 4;
  if (offset > size) return false;
  const uint64_t room = size - offset;
  // The capture dialog's blocks carry rows of width x 3 bytes and say so in
  // biSizeImage; other writers pad every row to 4 bytes.
  const bool packedRows = packed != padded && uint64_t{h.biSizeImage} == packed * rows;
  const uint64_t stride = packedRows ? packed : padded;
  if (stride * rows > room) return false;

  const uint8_t* source = static_cast<const uint8_t*>(dib) + offset;
  out->pixels.assign(static_cast<size_t>(padded * rows), 0);
  for (uint64_t r = 0; r < rows; ++r)
    std::memcpy(out->pixels.data() + r * padded, source + r * stride, static_cast<size_t>(packed));
  out->header = h;
  out->header.biSize = sizeof(BITMAPINFOHEADER);
  out->header.biSizeImage = static_cast<DWORD>(padded * rows);
  out->header.biClrUsed = 0;
  out->header.biClrImportant = 0;
  return true;
}

bool TakePictureBlock(HGLOBAL block, Picture* out) {
  z9::UniqueGlobal owned(block);
  if (!owned) return false;
  z9::GlobalLock_ lock(owned.get());
  return lock.get() != nullptr && ReadPictureDib(lock.get(), GlobalSize(owned.get()), out);
}

std::vector<uint8_t> BmpFileBytes(const Picture& picture) {
  BITMAPFILEHEADER file = {};
  const size_t headers = sizeof file + sizeof picture.header;
  file.bfType = 0x4D42;  // "BM"
  file.bfSize = static_cast<DWORD>(headers + picture.pixels.size());
  file.bfOffBits = static_cast<DWORD>(headers);
  std::vector<uint8_t> bytes(headers + picture.pixels.size());
  std::memcpy(bytes.data(), &file, sizeof file);
  std::memcpy(bytes.data() + sizeof file, &picture.header, sizeof picture.header);
  if (!picture.pixels.empty()) std::memcpy(bytes.data() + headers, picture.pixels.data(), picture.pixels.size());
  return bytes;
}

std::string PictureFileName(const std::string& folder, const SYSTEMTIME& time, unsigned counter) {
  char name[80];
  std::snprintf(name, sizeof name, "Picture %04u-%02u-%02u %02u.%02u.%02u %03u.bmp", time.wYear % 10000u,
                time.wMonth % 100u, time.wDay % 100u, time.wHour % 100u, time.wMinute % 100u, time.wSecond % 100u,
                counter);
  std::string path = folder;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + name;
}

std::string ChoosePictureFolder(const char* special, const std::string& windowsDir) {
  if (special != nullptr && special[0] != '\0') {
    const DWORD attributes = GetFileAttributesA(special);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return special;
  }
  return windowsDir;
}

std::string PictureFolder() {
  char windows[MAX_PATH] = {};
  const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  if (length == 0 || length >= sizeof windows) windows[0] = '\0';
  // Windows 98 without the newer shell has no such function, and older
  // shells do not know the folder: both leave the Windows directory.
  char special[MAX_PATH] = {};
  HMODULE shell = GetModuleHandleA("shell32.dll");
  z9::UniqueModule loaded;
  if (shell == nullptr) {
    loaded.reset(LoadLibraryA("shell32.dll"));
    shell = loaded.get();
  }
  if (shell != nullptr) {
    auto get = reinterpret_cast<SpecialFolderPathFunction>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHGetSpecialFolderPathA")));
    if (get == nullptr || !get(nullptr, special, kMyPictures, FALSE)) special[0] = '\0';
    special[sizeof special - 1] = '\0';
  }
  return ChoosePictureFolder(special, windows);
}

SaveResult SaveNewFile(const std::string& folder, const SYSTEMTIME& time, unsigned* counter,
                       const std::vector<uint8_t>& bytes, std::string* path, unsigned attempts) {
  for (unsigned i = 0; i < attempts; ++i) {
    const std::string name = PictureFileName(folder, time, (*counter)++);
    z9::UniqueHandle file(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    if (!file) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return SaveResult::kWriteFailed;
    }
    DWORD written = 0;
    const bool ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size();
    file.reset();
    if (!ok) {
      // A half-written picture is worse than none.
      DeleteFileA(name.c_str());
      return SaveResult::kWriteFailed;
    }
    *path = name;
    return SaveResult::kSaved;
  }
  return SaveResult::kNoRoom;
}

}  // namespace z9app
