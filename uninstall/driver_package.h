// A device's driver package: the files its OEM INF copied (deleted through a
// system file queue) and the OEM INF itself with the driver file.
#pragma once

#include "paths.h"
#include "uninstall_context.h"
#include "uninstall_texts.h"

namespace z9rmv {

// The file sections deleted, in this order.
extern const char* const kDeletedFileSections[8];

// Opens the INF (class "Image", INF_STYLE_WIN4) and deletes the files of the
// eight sections through one file queue, every notification delayed 30 ms.
// False when the INF could not be opened.
bool DeleteDriverFiles(const char* infName, UninstallContext* ctx, const UninstallTexts& texts);

// SetupUninstallOEMInfA (looked up at run time: it is not on every system)
// with forced deletion; then, before Vista, deletes the driver file; on Vista
// and later starts the elevated removal program for both. True when the
// driver file was to be deleted here but is still in use (another function
// of the camera keeps the driver loaded): see DeleteDriverFileWhenFree.
bool UninstallDriverPackage(const char* infName, UninstallContext* ctx, const SystemPaths& paths);

// Deletes the driver file once the driver has let go of it, trying for up
// to `waitMs`; a file still in use then is left to the system to delete at
// the next restart. True when it is gone now.
bool DeleteDriverFileWhenFree(const char* driverFile, unsigned waitMs);

}  // namespace z9rmv
