// Z9100Rmv.dll run through rundll32 on the bench prefix: what an uninstall
// removes, what it leaves, and the monitor commands.
#include <cstring>
#include <string>
#include <vector>

#include "uninstall_fixture.h"

namespace rmvtest {
namespace {

using wintest::RegKeyExists;
using wintest::WindowsDir;

bool RunValuePresent() {
  std::string v;
  return wintest::RegGetString(HKEY_LOCAL_MACHINE, z9bench::kRunKey, z9bench::kRunValueName, &v);
}

bool PendingDeletionOf(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                    &key) != ERROR_SUCCESS)
    return false;
  std::vector<char> data(8192, 0);
  DWORD size = static_cast<DWORD>(data.size() - 2);
  const bool read = RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (!read) return false;
  for (const char* p = data.data(); *p; p += std::strlen(p) + 1)
    if (std::string(p).find(path.substr(2)) != std::string::npos) return true;  // without the drive letter
  return false;
}

constexpr char kMakerKey[] = "SOFTWARE\\RidEva";

// What the property pages' COM server registers (HKEY_CLASSES_ROOT keys):
// its type library, its four classes and their ProgIDs.
std::vector<std::string> PageServerKeys() {
  std::vector<std::string> keys = {"TypeLib\\{8C38BFCC-8D4D-4A5A-885B-270A9B4B6003}"};
  for (char last : {'0', '1', '2', '3'})
    keys.push_back(std::string("CLSID\\{7EBBB1AF-C455-4F97-B5E7-9D4E5B98300") + last + "}");
  for (const char* page : {"PropPage1", "PropPage2", "DefaultPage1", "DefaultPage2"}) {
    keys.push_back(std::string("Vidset.") + page);
    keys.push_back(std::string("Vidset.") + page + ".1");
  }
  return keys;
}

// Those of them that are (true) or are not (false) registered, one a line.
std::string PageServerKeysWhere(bool registered) {
  std::string found;
  for (const std::string& key : PageServerKeys())
    if (RegKeyExists(HKEY_CLASSES_ROOT, key) == registered) found += key + "\n";
  return found;
}

std::string AppPathsYouCam() {
  std::string v;
  return wintest::RegGetString(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam, nullptr, &v) ? v : "(none)";
}

// The cleanup batch exactly as an interactive run writes it.
std::string ExpectedBatch(const z9bench::ProductPaths& p) {
  const std::string w = p.windowsDir;
  return ":Repeat\r\n"
         "       Del " + w + "\\System\\Z9100Rmv.dll \r\n"
         "       Del " + w + "\\System\\Z9100LAp.exe \r\n"
         "      Del " + w + "\\system\\Z9100Remov.exe\r\n"
         "       if exist " + w + "\\System\\Z9100Rmv.dll goto Repeat\r\n"
         "       if exist " + w + "\\System\\Z9100LAp.exe goto Repeat\r\n"
         "       if exist " + w + "\\system\\Z9100Remov.exe goto Repeat\r\n"
         "       Del " + w + "\\System\\DeMySelf.Bat \r\n";
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::string bytes;
  std::vector<std::string> lines;
  if (!wintest::ReadFileBytes(path, &bytes)) return lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  return lines;
}

TEST_F(UninstallTest, InteractiveRunRemovesTheCameraSoftwareAndNothingElse) {
  // The launcher held open without delete sharing keeps the batch looping
  // until the test has read it.
  HANDLE hold = CreateFileA(paths.launcher.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(hold, INVALID_HANDLE_VALUE);
  ASSERT_EQ(PageServerKeysWhere(false), "");
  ASSERT_EQ(AppPathsYouCam(), paths.launcher);
  wintest::Process monitor;
  ASSERT_TRUE(monitor.Start("\"" + paths.monitor + "\""));
  ASSERT_NE(wintest::WaitForWindow(kMonitorClass, kMonitorTitle, 10000), nullptr);
  DWORD code = 99;
  const bool ended = RunUninstaller("", 60000, &code);
  std::string batch;
  const bool batchRead = wintest::WaitUntil([&] { return wintest::ReadFileBytes(paths.batch, &batch); }, 5000);
  CloseHandle(hold);
  ASSERT_TRUE(ended);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(monitor.Wait(5000)) << "the running monitor was not stopped";

  // Both camera functions are gone; the other maker's device, its INF and
  // its file are not.
  EXPECT_FALSE(z9bench::DeviceExists(z9bench::kCameraInstanceId));
  EXPECT_FALSE(z9bench::DeviceExists(z9bench::kSecondInstanceId));
  EXPECT_TRUE(z9bench::DeviceExists(z9bench::kForeignInstanceId));
  EXPECT_EQ(z9bench::DeviceInfName(z9bench::kForeignInstanceId), otherInf);
  EXPECT_TRUE(FileExists(WindowsDir() + "\\inf\\" + otherInf));
  EXPECT_TRUE(FileExists(paths.otherFile));
  EXPECT_FALSE(FileExists(WindowsDir() + "\\inf\\" + cameraInf));
  // The driver stays mapped while Wine keeps it loaded after its devices
  // went; the uninstaller then leaves the file to the next start.
  EXPECT_TRUE(!FileExists(paths.driverFile) || PendingDeletionOf(paths.driverFile));

  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kMediaSetsPages));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, z9bench::kAddRemoveKey));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, z9bench::kProductSettingsKey));
  EXPECT_FALSE(RunValuePresent());
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kMakerKey)) << "the maker's key, empty now";
  EXPECT_EQ(PageServerKeysWhere(true), "") << "the page server's registration outlives its file";
  EXPECT_EQ(AppPathsYouCam(), "(none)");
  EXPECT_FALSE(FileExists(paths.shortcut));
  EXPECT_FALSE(DirectoryExists(paths.twainDir));
  EXPECT_TRUE(DirectoryExists(paths.programDir));  // the monitor is still in it

  ASSERT_TRUE(batchRead);
  EXPECT_EQ(batch, ExpectedBatch(paths));
  // Released, the batch deletes the three files and itself.
  EXPECT_TRUE(wintest::WaitUntil(
      [&] {
        return !FileExists(paths.uninstaller) && !FileExists(paths.launcher) && !FileExists(paths.removalProgram) &&
               !FileExists(paths.batch);
      },
      20000, 100));
}

TEST_F(UninstallTest, SilentRunLeavesTheEntryTheShortcutAndTheFiles) {
  ASSERT_TRUE(DeleteFileA(paths.monitor.c_str()));  // the program folder is empty at the end
  DWORD code = 99;
  ASSERT_TRUE(RunUninstaller("/Silent", 60000, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_FALSE(z9bench::DeviceExists(z9bench::kCameraInstanceId));
  EXPECT_FALSE(z9bench::DeviceExists(z9bench::kSecondInstanceId));
  EXPECT_TRUE(z9bench::DeviceExists(z9bench::kForeignInstanceId));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, z9bench::kProductSettingsKey));
  EXPECT_FALSE(RunValuePresent());
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kMediaSetsPages));

  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kMakerKey)) << "the maker's key, empty now";
  EXPECT_EQ(PageServerKeysWhere(true), "");
  EXPECT_EQ(AppPathsYouCam(), "(none)");

  EXPECT_FALSE(DirectoryExists(paths.programDir)) << "the empty program folder stays";
  EXPECT_FALSE(DirectoryExists(WindowsDir() + "\\RidEva")) << "the empty maker's folder stays";

  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, z9bench::kAddRemoveKey));
  EXPECT_TRUE(FileExists(paths.shortcut));
  wintest::PumpFor(1500);  // a batch, if one were started, would be at work by now
  EXPECT_FALSE(FileExists(paths.batch));
  EXPECT_TRUE(FileExists(paths.uninstaller));
  EXPECT_TRUE(FileExists(paths.launcher));
  EXPECT_TRUE(FileExists(paths.removalProgram));
}

// The maker's key and folder may hold its other products, and App Paths
// "YouCam" may name another program: all of that stays.
TEST_F(UninstallTest, WhatOtherProgramsKeepInTheSharedPlacesStays) {
  const std::string otherProduct = std::string(kMakerKey) + "\\Z9200";
  const std::string otherFile = WindowsDir() + "\\RidEva\\Z9200.dat";
  const std::string otherApp = "C:\\Program Files\\Other\\YouCam.exe";
  extraKeys.push_back(otherProduct);
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, otherProduct, "DeviceId", "VID_FFF2"));
  ASSERT_TRUE(wintest::WriteFileBytes(otherFile, "another product\r\n"));
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9bench::kAppPathsYouCam, nullptr, otherApp));
  ASSERT_TRUE(DeleteFileA(paths.monitor.c_str()));

  ASSERT_TRUE(RunUninstaller("/Silent"));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, z9bench::kProductSettingsKey));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, otherProduct));
  EXPECT_FALSE(DirectoryExists(paths.programDir));
  EXPECT_TRUE(FileExists(otherFile));
  EXPECT_EQ(AppPathsYouCam(), otherApp);
  wintest::DeleteFileIfAny(otherFile);
}

// Only a text selects devices, and a long one only by all of it. Each run
// goes on as for any present id (the settings key goes); the other maker's
// device and its package always stay.
TEST_F(UninstallTest, OnlyATextDeviceIdMatchedWholeSelectsDevices) {
  const std::string cameraLong = "USB\\VID_FFF1&PID_A14C&MI_00&REV_0100&" + std::string(90, 'Q');
  SetHardwareIds(z9bench::kCameraInstanceId, {cameraLong, z9bench::kCameraHardwareId});
  const std::string longId = cameraLong.substr(4, 100);
  std::string differsLate = longId;
  differsLate[40] = 'Z';
  std::string lowerLongId = longId;
  CharLowerBuffA(&lowerLongId[0], static_cast<DWORD>(lowerLongId.size()));
  const struct {
    const char* what;
    DWORD type;
    std::string bytes;
    bool cameraGoes;
  } rows[] = {
      {"a 100-byte id that differs after byte 32", REG_SZ, differsLate + '\0', false},
      {"a 100-byte id of the camera, in lower case", REG_SZ, lowerLongId + '\0', true},
      {"a DWORD whose bytes spell USB", REG_DWORD, std::string("USB\0", 4), false},
      {"binary bytes of the other maker's id", REG_BINARY, "USB\\VID_1234", false},
  };
  bool cameraThere = true;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_TRUE(wintest::RegSetBinary(HKEY_LOCAL_MACHINE, z9bench::kProductSettingsKey, "DeviceId", row.bytes.data(),
                                      static_cast<DWORD>(row.bytes.size()), row.type));
    ASSERT_TRUE(RunUninstaller("/Silent"));
    cameraThere = cameraThere && !row.cameraGoes;
    EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, z9bench::kProductSettingsKey));
    EXPECT_EQ(z9bench::DeviceExists(z9bench::kCameraInstanceId), cameraThere);
    EXPECT_TRUE(z9bench::DeviceExists(z9bench::kSecondInstanceId));
    EXPECT_TRUE(z9bench::DeviceExists(z9bench::kForeignInstanceId));
    EXPECT_EQ(z9bench::DeviceInfName(z9bench::kForeignInstanceId), otherInf);
    EXPECT_TRUE(FileExists(WindowsDir() + "\\inf\\" + otherInf));
    EXPECT_TRUE(FileExists(paths.otherFile));
    if (cameraThere) {
      EXPECT_TRUE(FileExists(WindowsDir() + "\\inf\\" + cameraInf));
    }
  }
}

TEST_F(UninstallTest, FromVistaOnTheRemovalProgramGetsTheInfAndTheDriverFile) {
  ReportVersionToRundll32("vista");
  ASSERT_TRUE(RunUninstaller("/Silent"));
  EXPECT_FALSE(z9bench::DeviceExists(z9bench::kCameraInstanceId));
  const std::string expected = "started: /d " + WindowsDir() + "\\inf\\" + cameraInf + "  " + WindowsDir() +
                               "\\system32\\drivers\\Z9100KNT.sys 32 ";
  ASSERT_TRUE(wintest::WaitUntil([&] { return !ReadLines(kRemovalLog).empty(); }, 10000, 100))
      << "the removal program was not started";
  wintest::PumpFor(500);
  // Once: the second function's package was already gone.
  EXPECT_EQ(ReadLines(kRemovalLog), std::vector<std::string>{expected});
  EXPECT_TRUE(FileExists(paths.driverFile));  // left to the removal program
  EXPECT_FALSE(PendingDeletionOf(paths.driverFile));
}

TEST_F(UninstallTest, WithoutDeviceIdsOnlyTheShortcutAndTheBatchAreDone) {
  ASSERT_TRUE(wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, z9bench::kProductSettingsKey, "DeviceId"));
  wintest::Process monitor;
  ASSERT_TRUE(monitor.Start("\"" + paths.monitor + "\""));
  ASSERT_NE(wintest::WaitForWindow(kMonitorClass, kMonitorTitle, 10000), nullptr);

  ASSERT_TRUE(RunUninstaller("", 60000));
  wintest::PumpFor(1000);  // time enough to end, had it been asked to
  EXPECT_TRUE(monitor.Running());
  EXPECT_TRUE(z9bench::DeviceExists(z9bench::kCameraInstanceId));
  EXPECT_TRUE(z9bench::DeviceExists(z9bench::kSecondInstanceId));
  EXPECT_TRUE(FileExists(WindowsDir() + "\\inf\\" + cameraInf));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, z9bench::kProductSettingsKey));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, z9bench::kAddRemoveKey));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kMediaSetsPages));
  EXPECT_TRUE(RunValuePresent());

  EXPECT_FALSE(FileExists(paths.shortcut));
  EXPECT_TRUE(wintest::WaitUntil([&] { return !FileExists(paths.uninstaller) && !FileExists(paths.batch); }, 20000,
                                 100))
      << "the batch did not run";
}

TEST_F(UninstallTest, OnTheNineXFamilyAnUninstallOnlyTidiesUp) {
  ReportVersionToRundll32("win98");
  for (const char* words : {"", "/Silent"}) {
    SCOPED_TRACE(std::string("command text \"") + words + "\"");
    ASSERT_TRUE(DirectoryExists(paths.twainDir) || CreateDirectoryA(paths.twainDir.c_str(), nullptr));
    DWORD code = 99;
    ASSERT_TRUE(RunUninstaller(words, 20000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(DirectoryExists(paths.twainDir));
    EXPECT_TRUE(z9bench::DeviceExists(z9bench::kCameraInstanceId));
    EXPECT_TRUE(z9bench::DeviceExists(z9bench::kSecondInstanceId));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, z9bench::kProductSettingsKey));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kMediaSetsPages));
    EXPECT_TRUE(RunValuePresent());
    EXPECT_TRUE(FileExists(paths.shortcut));
    EXPECT_FALSE(FileExists(paths.batch));
  }
}

// The debug list of a run whose batch cannot be written: the box that says
// so holds the run while the test reads the list.
class DebugListRun : public UninstallTest {
 protected:
  // Runs an interactive uninstall with RmvDebugMode on; returns the lines.
  std::vector<std::string> RunAndReadList() {
    std::vector<std::string> lines;
    EXPECT_TRUE(wintest::IniWrite(kIni, "Remove", "RmvDebugMode", "1"));
    EXPECT_TRUE(CreateDirectoryA(paths.batch.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    wintest::Process run;
    if (!StartUninstaller("", &run)) {
      ADD_FAILURE() << "rundll32 did not start";
      return lines;
    }
    HWND box = nullptr;
    wintest::WaitUntil([&] { return (box = wintest::FindDialogBox("Uninstall...", run.Id())) != nullptr; }, 60000, 50);
    if (box == nullptr) {
      ADD_FAILURE() << "no \"Out of memory !!\" box";
      return lines;
    }
    EXPECT_EQ(wintest::DialogText(box), "Out of memory !!");
    const std::vector<HWND> lists = wintest::WindowsOfProcess(run.Id(), "ListBox");
    EXPECT_EQ(lists.size(), 1u);
    if (!lists.empty()) {
      lines = wintest::ReadListBoxLines(lists[0]);
      RECT r{};
      GetWindowRect(lists[0], &r);
      EXPECT_EQ(r.left, 0);
      EXPECT_EQ(r.top, 0);
      EXPECT_EQ(r.right - r.left, 480);
      EXPECT_EQ(r.bottom - r.top, 650);
    }
    wintest::PressDialogButton(box, IDOK);
    DWORD code = 99;
    EXPECT_TRUE(run.Wait(20000, &code));
    EXPECT_EQ(code, 0u);
    return lines;
  }

  static int Count(const std::vector<std::string>& lines, const std::string& line) {
    int n = 0;
    for (const auto& l : lines) n += l == line;
    return n;
  }
};

TEST_F(DebugListRun, ListsEachStepAndMatchesDevicesOnlyByUsableIds) {
  const std::string key = z9bench::kProductSettingsKey;
  // An empty id would be part of every hardware id; a 40-byte one is matched
  // whole, so a device that holds only its first 31 bytes stays.
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, key, "DeviceId1", ""));
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, key, "DeviceId2", "VID_4444&PID_0001&CUT_HERE_XXXXXXXXXXXX"));
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, key, "DeviceId3", "pid_a14c&mi_05"));
  // One device whose hardware id holds two of the ids; one that holds only
  // the cut fragment; one in another class with an OEM INF of its own.
  RegisterBareDevice("ROOT\\Z9TEST\\0001", {"USB\\VID_FFF1&PID_A14C&MI_05&REV_0100"});
  RegisterBareDevice("ROOT\\Z9TEST\\0002", {"USB\\VID_4444&PID_0001&CUT_HERE_XXXX"});
  RegisterBareDevice("ROOT\\Z9TEST\\0003", {"USB\\VID_FFF1&PID_A14C&MI_07"});
  const std::string mediaClassKey = "{4D36E96C-E325-11CE-BFC1-08002BE10318}\\0077";
  SetDriverKeyName("ROOT\\Z9TEST\\0003", mediaClassKey);
  extraKeys.push_back("SYSTEM\\CurrentControlSet\\Control\\Class\\" + mediaClassKey);
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, extraKeys.back(), "InfPath", "oem77.inf"));
  // A hardware id whose match lies beyond its first 260 bytes; an imaging
  // driver key whose "InfPath" is longer than 255 bytes (never cut and used).
  RegisterBareDevice("ROOT\\Z9TEST\\0004", {"USB\\" + std::string(280, 'L') + "&VID_FFF1&PID_A14C"});
  RegisterBareDevice("ROOT\\Z9TEST\\0005", {"USB\\VID_FFF1&PID_A14C&MI_09"});
  const std::string imagingKey = "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0099";
  SetDriverKeyName("ROOT\\Z9TEST\\0005", imagingKey);
  extraKeys.push_back("SYSTEM\\CurrentControlSet\\Control\\Class\\" + imagingKey);
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, extraKeys.back(), "InfPath",
                                    "oem" + std::string(300, 'x') + ".inf"));
  const std::string oem77 = WindowsDir() + "\\inf\\oem77.inf";
  ASSERT_TRUE(wintest::WriteFileBytes(oem77, "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\n"));

  const std::vector<std::string> lines = RunAndReadList();
  wintest::DeleteFileIfAny(oem77);
  std::string dump;
  for (const auto& l : lines) dump += "  " + l + "\n";
  ASSERT_GE(lines.size(), 2u) << dump;
  EXPECT_EQ(lines[0], " Y5300Rmv version 9300.0.0.1 ");
  EXPECT_EQ(lines[1], "Delete property page key >>success");
  // Camera, second function, the two-id device, the other-class device and
  // the two with long texts: each removed once.
  EXPECT_EQ(Count(lines, "Remove succesll"), 6) << dump;
  EXPECT_EQ(Count(lines, "Remove fail!!"), 0) << dump;
  // One package for both camera functions: removed with the first, gone for the second.
  EXPECT_EQ(Count(lines, "Uninstall associated inf success *^.^*"), 1) << dump;
  EXPECT_EQ(Count(lines, "Uninstall associated inf fail!!"), 1) << dump;
  EXPECT_EQ(Count(lines, "Failure to call windows API SetupOpenInfFile.\n Inf File:" + cameraInf), 1) << dump;
  for (size_t i = 1; i < lines.size(); ++i)
    if (lines[i].rfind("Uninstall associated inf", 0) == 0) {
      EXPECT_EQ(lines[i - 1], "Remove succesll") << dump;
    }

  EXPECT_FALSE(z9bench::DeviceExists("ROOT\\Z9TEST\\0001"));
  EXPECT_TRUE(z9bench::DeviceExists("ROOT\\Z9TEST\\0002"));
  EXPECT_FALSE(z9bench::DeviceExists("ROOT\\Z9TEST\\0003"));
  EXPECT_FALSE(z9bench::DeviceExists("ROOT\\Z9TEST\\0004"));
  EXPECT_FALSE(z9bench::DeviceExists("ROOT\\Z9TEST\\0005"));
  EXPECT_TRUE(z9bench::DeviceExists(z9bench::kForeignInstanceId));
  EXPECT_TRUE(FileExists(WindowsDir() + "\\inf\\" + otherInf));
}

TEST_F(DebugListRun, PageRegistrationIsTheFirstSubkeyWhoseNameContainsTheIdInAnyCase) {
  const std::string mediaSets = "SYSTEM\\CurrentControlSet\\Control\\MediaSets\\";
  const std::string other = mediaSets + "{00000000-1111-2222-3333-444444444444}";
  extraKeys.push_back(other);
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, other + "\\PropertyPages\\{1}", "", "page"));
  ASSERT_TRUE(wintest::RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kMediaSetsPages));
  const struct {
    const char* what;
    const char* name;  // nullptr: no registration
  } rows[] = {
      {"no registration", nullptr},
      {"the id in lower case", "{8c38bfcc-8d4d-4a5a-885b-270a9b4b6003}"},
      {"a name that contains the id", "Z9100 {8C38BFCC-8D4D-4A5A-885B-270A9B4B6003} Pages"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string pages = row.name ? mediaSets + row.name : std::string();
    if (row.name) {
      extraKeys.push_back(pages);
      ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, pages + "\\PropertyPages\\{1}", "", "page"));
    }
    // Every run deletes the settings key; the next needs its device id again.
    ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, z9bench::kProductSettingsKey, "DeviceId",
                                      z9bench::kProductDeviceId));
    const std::vector<std::string> lines = RunAndReadList();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], " Y5300Rmv version 9300.0.0.1 ");
    int pageLines = 0;
    for (const auto& l : lines) pageLines += l.find("property page") != std::string::npos;
    EXPECT_EQ(pageLines, row.name ? 1 : 0);
    EXPECT_EQ(Count(lines, "Delete property page key >>success"), row.name ? 1 : 0);
    if (row.name) {
      EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, pages));
    }
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, other + "\\PropertyPages\\{1}"));
  }
  EXPECT_FALSE(z9bench::DeviceExists(z9bench::kCameraInstanceId));
}

TEST_F(UninstallTest, TextsComeFromTheLanguageFile) {
  const std::string key = z9bench::kProductSettingsKey;
  ASSERT_TRUE(wintest::MakeDirs("D:\\RmvLang"));
  ASSERT_TRUE(wintest::WriteFileBytes("D:\\RmvLang\\LG1031.dat",
                                      "[CamUnin]\r\nMsgCaption0=Deinstallation\r\nMsgString3=Kein Speicher\r\n"));
  ASSERT_TRUE(wintest::RegSetString(HKEY_LOCAL_MACHINE, key, "LangFilePath", "D:\\RmvLang"));
  ASSERT_TRUE(wintest::RegSetDword(HKEY_LOCAL_MACHINE, key, "MultiLangID", 1031));
  // No device ids: the run goes straight to the batch, which a folder of
  // its name keeps from being written.
  ASSERT_TRUE(wintest::RegDeleteValueAt(HKEY_LOCAL_MACHINE, key, "DeviceId"));
  ASSERT_TRUE(CreateDirectoryA(paths.batch.c_str(), nullptr));
  wintest::Process run;
  ASSERT_TRUE(StartUninstaller("", &run));
  wintest::MessageBoxWatcher box("Deinstallation", run.Id(), IDOK, 30000);
  EXPECT_TRUE(box.Wait(30000));
  EXPECT_EQ(box.Text(), "Kein Speicher");
  EXPECT_TRUE(run.Wait(10000));
  wintest::DeleteFileIfAny("D:\\RmvLang\\LG1031.dat");
  RemoveDirectoryA("D:\\RmvLang");
}

TEST_F(UninstallTest, StopStillMntClosesTheMonitorAndWaits) {
  wintest::Process monitor;
  ASSERT_TRUE(monitor.Start("\"" + paths.monitor + "\""));
  ASSERT_NE(wintest::WaitForWindow(kMonitorClass, kMonitorTitle, 10000), nullptr);
  DWORD elapsed = 0, code = 99;
  ASSERT_TRUE(RunUninstaller("/StopStillMnt", 20000, &code, &elapsed));
  EXPECT_EQ(code, 0u);
  EXPECT_GE(elapsed, 1500u);
  EXPECT_TRUE(monitor.Wait(5000)) << "the monitor did not end";
  EXPECT_EQ(FindWindowA(kMonitorClass, kMonitorTitle), nullptr);
  EXPECT_TRUE(z9bench::DeviceExists(z9bench::kCameraInstanceId));

  // With none running it still waits.
  ASSERT_TRUE(RunUninstaller("/StopStillMnt", 20000, &code, &elapsed));
  EXPECT_GE(elapsed, 1500u);
}

TEST_F(UninstallTest, StartStillMntStartsTheInstalledMonitorShownOnlyInDebugMode) {
  for (const char* debugMode : {"0", "1"}) {
    SCOPED_TRACE(std::string("DebugMode ") + debugMode);
    ASSERT_TRUE(wintest::IniWrite(kIni, "Debug", "DebugMode", debugMode));
    ASSERT_TRUE(RunUninstaller("/StartStillMnt", 20000));
    HWND window = wintest::WaitForWindow(kMonitorClass, kMonitorTitle, 10000);
    ASSERT_NE(window, nullptr);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    char image[MAX_PATH] = {};
    using QueryImageFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
    auto query = reinterpret_cast<QueryImageFn>(GetProcAddress(GetModuleHandleA("kernel32"), "QueryFullProcessImageNameA"));
    DWORD size = MAX_PATH;
    if (process && query && query(process, 0, image, &size)) {
      EXPECT_EQ(lstrcmpiA(image, paths.monitor.c_str()), 0) << image;
    }
    if (process) CloseHandle(process);
    EXPECT_EQ(IsWindowVisible(window) != FALSE, debugMode[0] == '1');
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(wintest::WaitForNoWindow(kMonitorClass, kMonitorTitle, 8000));
  }
}

TEST_F(UninstallTest, OtherCommandTextsOnlyTidyUp) {
  for (const char* words : {"/silent", "/Silent ", "/Start", "/Install9X", "/SILENT", "Silent"}) {
    SCOPED_TRACE(std::string("command text \"") + words + "\"");
    ASSERT_TRUE(DirectoryExists(paths.twainDir) || CreateDirectoryA(paths.twainDir.c_str(), nullptr));
    DWORD code = 99;
    ASSERT_TRUE(RunUninstaller(words, 20000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(DirectoryExists(paths.twainDir));   // empty: removed
    EXPECT_TRUE(DirectoryExists(paths.programDir));  // holds the monitor: kept
    EXPECT_TRUE(z9bench::DeviceExists(z9bench::kCameraInstanceId));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, z9bench::kProductSettingsKey));
    EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, z9bench::kAddRemoveKey));
    EXPECT_TRUE(FileExists(paths.shortcut));
    EXPECT_FALSE(FileExists(paths.batch));
  }
}

}  // namespace
}  // namespace rmvtest
