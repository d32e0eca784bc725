// The registry entries an uninstall deletes: the property-page registration
// under MediaSets, the Add/Remove Programs entry, the start-up value and the
// settings key. Deletions go through the shell's recursive functions, which
// take no view flag; reads and the key enumeration use the context's flag.
#pragma once

#include "uninstall_context.h"

namespace z9rmv {

constexpr char kMediaSetsKey[] = "SYSTEM\\CurrentControlSet\\Control\\MediaSets";
constexpr char kPageRegistrationName[] = "{8C38BFCC-8D4D-4A5A-885B-270A9B4B6003}";
constexpr char kAddRemoveKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{FC9B811E-39BC-4813-9E29-B83CCF700010}";
constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char kRunValue[] = "Z9100Mnt";

// The first MediaSets subkey whose name contains the control set's id, with
// all its subkeys; one debug line when one was found, none otherwise.
void DeletePropertyPageRegistration(UninstallContext* ctx);
void DeleteAddRemoveEntry();
// The start-up value, then the settings key with all subkeys.
void DeleteStartupAndSettings();

}  // namespace z9rmv
