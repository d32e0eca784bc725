// The registry entries an uninstall deletes: the property-page registration
// under MediaSets, the Add/Remove Programs entry, the start-up value, the
// settings key and the maker's key above it once it is empty, and the camera
// application's App Paths entry. Everything but the App Paths entry is
// deleted in the registry view it is read through (the context's view flag):
// on 64-bit Windows a 32-bit uninstaller reads the 64-bit view, and a
// deletion through the process's own view would leave the entries where they
// are. The App Paths entry is written by the installer in its own view, the
// same as this process's, and is deleted there.
#pragma once
#include <windows.h>

#include "uninstall_context.h"

namespace z9rmv {

constexpr char kMediaSetsKey[] = "SYSTEM\\CurrentControlSet\\Control\\MediaSets";
constexpr char kPageRegistrationName[] = "{8C38BFCC-8D4D-4A5A-885B-270A9B4B6003}";
constexpr char kUninstallListKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char kAddRemoveName[] = "{FC9B811E-39BC-4813-9E29-B83CCF700010}";
constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunValue[] = "Z9100Mnt";
constexpr char kSoftwareKey[] = "SOFTWARE";
constexpr char kMakerName[] = "RidEva";
constexpr char kSettingsParentKey[] = "SOFTWARE\\RidEva";
constexpr char kSettingsName[] = "Z9100";
constexpr char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr char kAppPathsName[] = "YouCam";
constexpr char kCameraApplication[] = "Z9100LAp.exe";

// How a key is deleted: the shell's and the plain deletion open the key to
// delete in the process's own view, so a view flag needs the deletion that
// takes one (Vista and 64-bit XP; looked up at run time, as it is missing on
// the systems that have no second view).
enum class KeyDeletion { Plain, InView };
KeyDeletion KeyDeletionFor(DWORD viewFlag, bool haveDeleteInView);

// Deletes `name` below HKEY_LOCAL_MACHINE\`parent` with all its subkeys, every
// open and deletion in the view `viewFlag` names. True when it is gone.
bool DeleteKeyTreeInView(const char* parent, const char* name, DWORD viewFlag);
// Deletes value `name` of HKEY_LOCAL_MACHINE\`keyPath` in the view `viewFlag` names.
bool DeleteValueInView(const char* keyPath, const char* name, DWORD viewFlag);

// Deletes `name` below HKEY_LOCAL_MACHINE\`parent` only when it has neither
// subkeys nor values (the default value included). True when it was deleted.
bool DeleteKeyIfEmpty(const char* parent, const char* name, DWORD viewFlag);

// Whether an App Paths entry's path, quoted or not, names the camera
// application: its last component is "Z9100LAp.exe" in any letter case.
bool NamesCameraApplication(const char* path);

// The first MediaSets subkey whose name contains the control set's id (in
// any letter case), with all its subkeys; one debug line when one was found,
// none otherwise.
void DeletePropertyPageRegistration(UninstallContext* ctx);
void DeleteAddRemoveEntry(const UninstallContext& ctx);
// The start-up value, then the settings key with all subkeys, then the
// maker's key "SOFTWARE\RidEva" when nothing else is left in it (another of
// the maker's products may keep its settings there).
void DeleteStartupAndSettings(const UninstallContext& ctx);
// App Paths "YouCam" when its path names the camera application; another
// program registered under that name is left alone. True when deleted.
bool DeleteCameraApplicationPath();

}  // namespace z9rmv
