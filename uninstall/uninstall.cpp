#include "uninstall.h"

#include <string>

#include "cleanup_batch.h"
#include "command_word.h"
#include "device_removal.h"
#include "monitor_control.h"
#include "page_server.h"
#include "paths.h"
#include "registry_removal.h"

namespace z9rmv {

namespace {

int ReadRemoveDebugMode() {
  return static_cast<int>(GetPrivateProfileIntA("Remove", "RmvDebugMode", 0, "StillMnt.ini"));
}

void FinishInteractive(const UninstallContext& ctx, const UninstallTexts& texts) {
  DeleteProgramShortcut();
  SystemPaths paths = {};
  char batchPath[kPathSize];
  std::string text;
  if (!DeriveSystemPaths(ctx.windowsDir, &paths) || !CleanupBatchPath(ctx.windowsDir, batchPath, sizeof batchPath) ||
      !ComposeCleanupBatch(ctx.windowsDir, paths.removalProgram, batchPath, &text) ||
      !WriteCleanupBatch(batchPath, text)) {
    MessageBoxA(nullptr, texts.msgString3, texts.msgCaption0, MB_OK | MB_ICONERROR);
    return;
  }
  StartCleanupBatch(batchPath);
}

}  // namespace

void RunUninstall(HINSTANCE instance, UninstallContext* ctx, const UninstallTexts& texts) {
  if (ctx->devicesKnown) {
    ctx->debug = ReadRemoveDebugMode();
    if (ctx->debug != 0) ctx->debugList.Open(instance);
    StopMonitor();
    DeletePropertyPageRegistration(ctx);
    // The pages' COM server unregisters itself now, while its file is still
    // there: the driver package's file queue deletes it with the devices
    // below, and a registration left behind would point at nothing.
    UnregisterPageServer(ctx->windowsDir);
    if (!ctx->silent) DeleteAddRemoveEntry(*ctx);
    DeleteStartupAndSettings(*ctx);
    // With the monitor gone nothing starts the camera application by this
    // name any more; a silent run's caller deletes the file, the entry goes
    // here either way.
    DeleteCameraApplicationPath();
    if (!RemoveCameraDevices(ctx, texts)) return;
  }
  if (!ctx->silent) FinishInteractive(*ctx, texts);
}

void TidyUp(const UninstallContext& ctx) {
  if (ctx.windowsDir[0] == '\0') return;
  char dir[kPathSize];
  if (JoinPath(dir, sizeof dir, ctx.windowsDir, "TWAIN_32\\Z9100")) RemoveDirectoryA(dir);
  if (JoinPath(dir, sizeof dir, ctx.windowsDir, "RidEva\\Z9100")) RemoveDirectoryA(dir);
  // The maker's folder after its Z9100 folder, and like it only when empty:
  // another of the maker's products may live beside this one.
  if (JoinPath(dir, sizeof dir, ctx.windowsDir, "RidEva")) RemoveDirectoryA(dir);
}

void RunWinMainRmv(HINSTANCE instance, const char* commandText) {
  UninstallContext ctx;
  BuildContext(&ctx);
  UninstallTexts texts;
  LoadUninstallTexts(&texts);

  if (ctx.platform == kPlatformUnsupported) {
    MessageBoxA(nullptr, texts.msgString4, texts.msgCaption0, MB_OK | MB_ICONERROR);
  } else {
    const CommandWord word = ParseCommandWord(commandText);
    switch (word) {
      case CommandWord::Uninstall:
      case CommandWord::Silent:
        ctx.silent = word == CommandWord::Silent;
        // On the 9x family an uninstall does nothing.
        if (ctx.platform == kPlatformNt) RunUninstall(instance, &ctx, texts);
        break;
      case CommandWord::StartMonitor:
        StartMonitor(ctx.windowsDir);
        break;
      case CommandWord::StopMonitor:
        StopMonitor();
        break;
      case CommandWord::Start:
      case CommandWord::Install9X:
      case CommandWord::Other:
        break;
    }
  }
  TidyUp(ctx);
}

}  // namespace z9rmv
