// The camera application's handling of pictures and its own files: blocks
// from the capture dialog checked and turned into .bmp files, file names,
// never overwriting, the picture folder, where the capture dialog library is
// loaded from, and the texts of its language-file section.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app_texts.h"
#include "capture_library.h"
#include "picture_file.h"
#include "settings.h"
#include "wintest.h"

namespace {

using z9app::Picture;

// A DIB block as the capture dialog builds it: a 40-byte header and rows of
// width x 3 bytes, each byte numbered so that misplaced rows show.
std::vector<uint8_t> DialogDib(LONG width, LONG height, size_t extra = 0) {
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  const size_t rows = static_cast<size_t>(height < 0 ? -height : height);
  std::vector<uint8_t> dib(40 + rowBytes * rows + extra);
  BITMAPINFOHEADER h = {};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = BI_RGB;
  h.biSizeImage = static_cast<DWORD>(rowBytes * rows);
  std::memcpy(dib.data(), &h, sizeof h);
  for (size_t i = 40; i < dib.size(); ++i) dib[i] = static_cast<uint8_t>(i * 7);
  return dib;
}

BITMAPINFOHEADER& HeaderOf(std::vector<uint8_t>& dib) { return *reinterpret_cast<BITMAPINFOHEADER*>(dib.data()); }

TEST(PictureDib, TheDialogsPictureBecomesTheFileUnchanged) {
  // Rows of 640 x 3 bytes need no padding: the file is the block behind a file header.
  std::vector<uint8_t> dib = DialogDib(640, 480);
  Picture picture;
  ASSERT_TRUE(z9app::ReadPictureDib(dib.data(), dib.size() + 16, &picture));  // a rounded-up block size
  const std::vector<uint8_t> file = z9app::BmpFileBytes(picture);
  ASSERT_EQ(file.size(), 14 + dib.size());
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(*reinterpret_cast<const DWORD*>(&file[2]), file.size());  // bfSize
  EXPECT_EQ(*reinterpret_cast<const DWORD*>(&file[10]), 54u);         // bfOffBits
  EXPECT_TRUE(std::memcmp(file.data() + 14, dib.data(), dib.size()) == 0);
}

TEST(PictureDib, RowsOfOddWidthsArePaddedInTheFile) {
  struct Case {
    LONG width, height;
    bool packedRows;  // as the dialog writes them (biSizeImage = width x 3 x height)
  } cases[] = {{5, 2, true}, {5, 2, false}, {1, 3, true}, {7, -2, true}};
  for (const Case& c : cases) {
    std::vector<uint8_t> dib = DialogDib(c.width, c.height);
    const size_t rows = static_cast<size_t>(c.height < 0 ? -c.height : c.height);
    const size_t packed = static_cast<size_t>(c.width) * 3, padded = (packed + 3) & ~size_t{3};
    if (!c.packedRows) {  // another writer's padded rows, biSizeImage left 0
      dib.resize(40 + padded * rows);
      HeaderOf(dib).biSizeImage = 0;
    }
    const size_t stride = c.packedRows ? packed : padded;
    Picture picture;
    ASSERT_TRUE(z9app::ReadPictureDib(dib.data(), dib.size(), &picture)) << c.width << "x" << c.height;
    EXPECT_EQ(picture.header.biSizeImage, padded * rows);
    EXPECT_EQ(picture.header.biHeight, c.height);
    ASSERT_EQ(picture.pixels.size(), padded * rows);
    for (size_t r = 0; r < rows; ++r) {
      EXPECT_TRUE(std::memcmp(&picture.pixels[r * padded], &dib[40 + r * stride], packed) == 0) << "row " << r;
      for (size_t i = packed; i < padded; ++i) EXPECT_EQ(picture.pixels[r * padded + i], 0) << "padding " << r;
    }
  }
}

TEST(PictureDib, BlocksThatAreNoPictureAreRefused) {
  struct Case {
    const char* what;
    void (*spoil)(std::vector<uint8_t>&);
  } cases[] = {
      {"shorter than a header", [](std::vector<uint8_t>& d) { d.resize(39); }},
      {"one byte short of its rows", [](std::vector<uint8_t>& d) { d.pop_back(); }},
      {"header size 12", [](std::vector<uint8_t>& d) { HeaderOf(d).biSize = 12; }},
      {"header larger than the block", [](std::vector<uint8_t>& d) { HeaderOf(d).biSize = 0x7FFFFFFF; }},
      {"8 bits", [](std::vector<uint8_t>& d) { HeaderOf(d).biBitCount = 8; }},
      {"32 bits", [](std::vector<uint8_t>& d) { HeaderOf(d).biBitCount = 32; }},
      {"compressed", [](std::vector<uint8_t>& d) { HeaderOf(d).biCompression = BI_BITFIELDS; }},
      {"two planes", [](std::vector<uint8_t>& d) { HeaderOf(d).biPlanes = 2; }},
      {"width 0", [](std::vector<uint8_t>& d) { HeaderOf(d).biWidth = 0; }},
      {"negative width", [](std::vector<uint8_t>& d) { HeaderOf(d).biWidth = -16; }},
      {"height 0", [](std::vector<uint8_t>& d) { HeaderOf(d).biHeight = 0; }},
      {"huge sides", [](std::vector<uint8_t>& d) { HeaderOf(d).biWidth = HeaderOf(d).biHeight = 0x40000000; }},
      {"most negative height", [](std::vector<uint8_t>& d) { HeaderOf(d).biHeight = LONG(0x80000000u); }},
      {"colour table past the block", [](std::vector<uint8_t>& d) { HeaderOf(d).biClrUsed = 0xFFFFFFFF; }},
      {"colour table eats the rows", [](std::vector<uint8_t>& d) { HeaderOf(d).biClrUsed = 4; }},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> dib = DialogDib(16, 8);
    c.spoil(dib);
    Picture picture;
    EXPECT_FALSE(z9app::ReadPictureDib(dib.data(), dib.size(), &picture)) << c.what;
  }
  Picture picture;
  EXPECT_FALSE(z9app::ReadPictureDib(nullptr, 100, &picture));
}

TEST(PictureDib, AHandedOverBlockIsFreedWhetherItIsAPictureOrNot) {
  for (bool good : {true, false}) {
    std::vector<uint8_t> dib = DialogDib(16, 8);
    if (!good) HeaderOf(dib).biBitCount = 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, dib.size());
    ASSERT_NE(block, nullptr);
    std::memcpy(GlobalLock(block), dib.data(), dib.size());
    GlobalUnlock(block);
    Picture picture;
    EXPECT_EQ(z9app::TakePictureBlock(block, &picture), good);
    EXPECT_EQ(GlobalFlags(block), GMEM_INVALID_HANDLE) << "the block was not freed (good=" << good << ")";
  }
  Picture picture;
  EXPECT_FALSE(z9app::TakePictureBlock(nullptr, &picture));
}

SYSTEMTIME Time(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) {
  SYSTEMTIME t = {};
  t.wYear = y, t.wMonth = mo, t.wDay = d, t.wHour = h, t.wMinute = mi, t.wSecond = s;
  return t;
}

TEST(PictureFiles, NamesCarryDateTimeAndCounter) {
  struct Case {
    const char* folder;
    SYSTEMTIME time;
    unsigned counter;
    const char* name;
  } cases[] = {
      {"C:\\P", Time(2026, 12, 9, 5, 7, 3), 1, "C:\\P\\Picture 2026-12-09 05.07.03 001.bmp"},
      {"C:\\P\\", Time(1999, 1, 31, 23, 59, 59), 42, "C:\\P\\Picture 1999-01-31 23.59.59 042.bmp"},
      {"C:\\", Time(2001, 10, 1, 0, 0, 0), 1234, "C:\\Picture 2001-10-01 00.00.00 1234.bmp"},
  };
  for (const Case& c : cases) EXPECT_EQ(z9app::PictureFileName(c.folder, c.time, c.counter), c.name);
}

class SaveFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    folder_ = std::string(temp) + "z9app_save_test";
    Clean();
    ASSERT_TRUE(wintest::MakeDirs(folder_));
  }
  void TearDown() override { Clean(); }
  void Clean() {
    for (unsigned n = 1; n <= 9; ++n) wintest::DeleteFileIfAny(z9app::PictureFileName(folder_, time_, n));
    RemoveDirectoryA(folder_.c_str());
  }
  std::string Read(unsigned n) {
    std::string bytes;
    return wintest::ReadFileBytes(z9app::PictureFileName(folder_, time_, n), &bytes) ? bytes : "<none>";
  }
  std::string folder_;
  SYSTEMTIME time_ = Time(2026, 12, 9, 6, 30, 0);
  const std::vector<uint8_t> bytes_{'B', 'M', 1, 2, 3};
};

TEST_F(SaveFolder, SavesNeverOverwriteAndSkipTakenNames) {
  unsigned counter = 1;
  std::string path;
  ASSERT_EQ(z9app::SaveNewFile(folder_, time_, &counter, bytes_, &path), z9app::SaveResult::kSaved);
  EXPECT_EQ(path, z9app::PictureFileName(folder_, time_, 1));
  EXPECT_EQ(counter, 2u);
  EXPECT_EQ(Read(1), std::string("BM\1\2\3"));

  // Names already taken (by another program, or the same second in an
  // earlier run) are left alone; the counter goes past them.
  ASSERT_TRUE(wintest::WriteFileBytes(z9app::PictureFileName(folder_, time_, 2), "keep"));
  ASSERT_TRUE(wintest::WriteFileBytes(z9app::PictureFileName(folder_, time_, 3), "keep"));
  ASSERT_EQ(z9app::SaveNewFile(folder_, time_, &counter, bytes_, &path), z9app::SaveResult::kSaved);
  EXPECT_EQ(path, z9app::PictureFileName(folder_, time_, 4));
  EXPECT_EQ(counter, 5u);
  EXPECT_EQ(Read(2), "keep");
  EXPECT_EQ(Read(3), "keep");

  // The same counter again finds every name taken within its attempts.
  counter = 1;
  EXPECT_EQ(z9app::SaveNewFile(folder_, time_, &counter, bytes_, &path, 4), z9app::SaveResult::kNoRoom);
  for (unsigned n = 1; n <= 4; ++n) EXPECT_NE(Read(n), "<none>") << n;
  EXPECT_EQ(Read(5), "<none>");
}

TEST_F(SaveFolder, AFolderThatCannotBeWrittenFailsAtOnce) {
  unsigned counter = 1;
  std::string path = "unchanged";
  EXPECT_EQ(z9app::SaveNewFile(folder_ + "\\missing", time_, &counter, bytes_, &path),
            z9app::SaveResult::kWriteFailed);
  EXPECT_EQ(path, "unchanged");
}

TEST_F(SaveFolder, PicturesGoToMyPicturesOnlyWhenItIsAFolder) {
  const std::string file = folder_ + "\\a file";
  ASSERT_TRUE(wintest::WriteFileBytes(file, "x"));
  struct Case {
    const char* special;
    std::string expected;
  } cases[] = {
      {nullptr, "C:\\WIN"}, {"", "C:\\WIN"}, {"C:\\no such folder", "C:\\WIN"},
      {file.c_str(), "C:\\WIN"}, {folder_.c_str(), folder_},
  };
  for (const Case& c : cases)
    EXPECT_EQ(z9app::ChoosePictureFolder(c.special, "C:\\WIN"), c.expected) << (c.special ? c.special : "null");
  wintest::DeleteFileIfAny(file);
  // On this system the shell knows the folder.
  const std::string folder = z9app::PictureFolder();
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << folder;
}

TEST(CaptureLibrary, TheInstalledCopyComesFirstThenTheProgramsFolder) {
  struct Case {
    const char* windows;
    const char* program;
    std::vector<std::string> paths;
  } cases[] = {
      {"C:\\WINDOWS", "C:\\Program Files\\Z9",
       {"C:\\WINDOWS\\TWAIN_32\\Z9100\\Z9100Twn.dll", "C:\\Program Files\\Z9\\Z9100Twn.dll"}},
      {"C:\\", "D:\\App\\", {"C:\\TWAIN_32\\Z9100\\Z9100Twn.dll", "D:\\App\\Z9100Twn.dll"}},
      {"C:\\WINDOWS", "c:\\windows\\twain_32\\z9100", {"C:\\WINDOWS\\TWAIN_32\\Z9100\\Z9100Twn.dll"}},
      {"C:\\WINDOWS", "", {"C:\\WINDOWS\\TWAIN_32\\Z9100\\Z9100Twn.dll"}},
      {"", "D:\\App", {"D:\\App\\Z9100Twn.dll"}},
  };
  for (const Case& c : cases) EXPECT_EQ(z9app::CaptureLibraryPaths(c.windows, c.program), c.paths) << c.program;
}

TEST(CaptureLibrary, LoadsTheFirstCandidateWithBothExports) {
  const std::string real = wintest::ExeDir() + "\\Z9100Twn.dll";
  z9app::CaptureLibrary library;
  // A missing file, a folder, and a library without the two exports are passed over.
  ASSERT_TRUE(library.Load({wintest::ExeDir() + "\\missing.dll", wintest::ExeDir(),
                            wintest::SystemDir() + "\\kernel32.dll", real}));
  EXPECT_EQ(library.Path(), real);
  EXPECT_FALSE(library.DialogOpen());
  library.Unload();
  EXPECT_FALSE(library.Loaded());
  EXPECT_FALSE(library.Load({wintest::SystemDir() + "\\kernel32.dll"}));
  EXPECT_FALSE(library.Load({}));
}

TEST(AppTexts, SectionCamAppOverridesEachTextItHasOthersStayEnglish) {
  const std::string folder = "C:\\z9app_lang";
  ASSERT_TRUE(wintest::MakeDirs(folder));
  const std::string file = folder + "\\LG1031.dat";
  ASSERT_TRUE(wintest::WriteFileBytes(file, "[CamApp]\r\nDlgString0=Kamera\r\nDlgString1=\r\n"
                                            "MsgString2=" + std::string(300, 'x') + "\r\n[Grabdlg]\r\nMsgCaption0=Fehler\r\n"));
  std::string oldPath;
  DWORD oldId = 0;
  const bool hadPath = wintest::RegGetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "LangFilePath", &oldPath);
  const bool hadId = wintest::RegGetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "MultiLangID", &oldId);
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "LangFilePath", folder));
  ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "MultiLangID", 1031));

  z9app::AppTexts texts;
  std::memset(&texts, '#', sizeof texts);
  z9app::LoadAppTexts(&texts);
  EXPECT_STREQ(texts.title, "Kamera");
  EXPECT_STREQ(texts.noPicture, "No picture taken yet.");  // empty in the file
  EXPECT_EQ(std::string(texts.notSaved), std::string(249, 'x'));
  EXPECT_STREQ(texts.caption, "Error");  // another section's key
  EXPECT_STREQ(texts.lastPicture, "Last picture:");

  if (hadPath) wintest::RegSetString(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "LangFilePath", oldPath);
  else wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "LangFilePath");
  if (hadId) wintest::RegSetDword(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "MultiLangID", oldId);
  else wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, z9::kSettingsKeyPath, "MultiLangID");
  wintest::DeleteFileIfAny(file);
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
