// The end of an interactive uninstall: the program shortcut goes, and a batch
// script "DeMySelf.Bat" in the Windows directory's System folder deletes the
// files still in use (this library among them) once they are free, then
// itself.
#pragma once
#include <cstddef>
#include <string>

#include "paths.h"

namespace z9rmv {

constexpr char kBatchName[] = "DeMySelf.Bat";
constexpr char kShortcutName[] = "Y4200LAp.lnk";

// The script's bytes (CR LF line ends). Paths that a command interpreter
// would split are quoted; others are written as they are. False when a path
// does not fit.
bool ComposeCleanupBatch(const char* windowsDir, const char* removalProgram, const char* batchPath,
                         std::string* text);

// "<windowsDir>\System\DeMySelf.Bat".
bool CleanupBatchPath(const char* windowsDir, char* out, size_t size);

// Writes the script (replacing an older one); false when it cannot be created
// or written.
bool WriteCleanupBatch(const char* path, const std::string& text);

// Starts the script hidden with the shell verb "open".
bool StartCleanupBatch(const char* path);

// Deletes "Y4200LAp.lnk" from the Start menu's Programs folder.
bool DeleteProgramShortcut();

}  // namespace z9rmv
