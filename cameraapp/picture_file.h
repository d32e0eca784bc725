// Pictures handed over by the capture dialog, written as .bmp files: the
// block checked against its header, the file bytes, the file name with date,
// time and counter, the folder they go to, and a save that never overwrites.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace z9app {

// A checked 24-bit picture: the bitmap header and rows padded to 4 bytes,
// ready for a file or for StretchDIBits.
struct Picture {
  BITMAPINFOHEADER header = {};
  std::vector<uint8_t> pixels;  // header.biSizeImage bytes
};

// Reads a packed 24-bit DIB (a BITMAPINFOHEADER and uncompressed rows) of
// `size` bytes. Rows come as the dialog writes them: width x 3 bytes each
// when the block holds exactly that, else padded to 4 bytes. False for
// anything that is not such a picture or is shorter than its header says.
bool ReadPictureDib(const void* dib, size_t size, Picture* out);

// A block handed over by the capture dialog: read as above, then freed in
// every case (the block belongs to this program from the hand-over on).
bool TakePictureBlock(HGLOBAL block, Picture* out);

// BITMAPFILEHEADER followed by the header and the rows.
std::vector<uint8_t> BmpFileBytes(const Picture& picture);

// "<folder>\Picture YYYY-MM-DD HH.MM.SS NNN.bmp"; counters above 999 take
// more digits.
std::string PictureFileName(const std::string& folder, const SYSTEMTIME& time, unsigned counter);

// Where pictures go: `special` (the user's "My Pictures") when it is an
// existing folder, else `windowsDir`.
std::string ChoosePictureFolder(const char* special, const std::string& windowsDir);

// The user's picture folder on this system (see ChoosePictureFolder).
std::string PictureFolder();

enum class SaveResult { kSaved, kNoRoom, kWriteFailed };

// Writes `bytes` to the first name from *counter on that does not exist yet
// (CREATE_NEW), trying at most `attempts` names; *counter is left after the
// name used. *path gets the file written.
SaveResult SaveNewFile(const std::string& folder, const SYSTEMTIME& time, unsigned* counter,
                       const std::vector<uint8_t>& bytes, std::string* path, unsigned attempts = 1000);

}  // namespace z9app
