#include "driver_package.h"

#include <windows.h>
#include <setupapi.h>
#include <shellapi.h>

namespace z9rmv {

const char* const kDeletedFileSections[8] = {
    "FileCpy.KnlDrv", "FileCpy.SenCsr", "FileCpy.DevBin", "FileCpy.DrvExt",
    "FileCpy.TwnDrv", "FileCpy.TwnCfg", "FileCpy.AppExe", "FileCpy.Coinst",
};

namespace {

class InfFile {
 public:
  explicit InfFile(HINF h) : h_(h) {}
  ~InfFile() {
    if (h_ != INVALID_HANDLE_VALUE) SetupCloseInfFile(h_);
  }
  InfFile(const InfFile&) = delete;
  InfFile& operator=(const InfFile&) = delete;
  HINF get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HINF h_;
};

class FileQueue {
 public:
  FileQueue() : h_(SetupOpenFileQueue()) {}
  ~FileQueue() {
    if (valid()) SetupCloseFileQueue(h_);
  }
  FileQueue(const FileQueue&) = delete;
  FileQueue& operator=(const FileQueue&) = delete;
  HSPFILEQ get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }

 private:
  HSPFILEQ h_;
};

class QueueCallbackContext {
 public:
  QueueCallbackContext() : p_(SetupInitDefaultQueueCallback(nullptr)) {}
  ~QueueCallbackContext() {
    if (p_ != nullptr) SetupTermDefaultQueueCallback(p_);
  }
  QueueCallbackContext(const QueueCallbackContext&) = delete;
  QueueCallbackContext& operator=(const QueueCallbackContext&) = delete;
  void* get() const { return p_; }

 private:
  void* p_;
};

UINT CALLBACK SlowQueueCallback(PVOID context, UINT notification, UINT_PTR param1, UINT_PTR param2) {
  Sleep(30);
  return SetupDefaultQueueCallbackA(context, notification, param1, param2);
}

}  // namespace

bool DeleteDriverFiles(const char* infName, UninstallContext* ctx, const UninstallTexts& texts) {
  InfFile inf(SetupOpenInfFileA(infName, "Image", INF_STYLE_WIN4, nullptr));
  if (!inf.valid()) return false;
  FileQueue queue;
  if (!queue.valid()) {
    ctx->debugList.Line("Get file Queue fail!!");
    return true;
  }
  for (const char* section : kDeletedFileSections) SetupQueueDeleteSectionA(queue.get(), inf.get(), nullptr, section);
  QueueCallbackContext callback;
  if (!SetupCommitFileQueueA(nullptr, queue.get(), SlowQueueCallback, callback.get()))
    ctx->debugList.Line("%s", texts.msgString2);
  return true;
}

bool UninstallDriverPackage(const char* infName, UninstallContext* ctx, const SystemPaths& paths) {
  using UninstallOemInfFn = BOOL(WINAPI*)(PCSTR, DWORD, PVOID);
  HMODULE setupapi = GetModuleHandleA("setupapi.dll");
  auto uninstallOemInf = setupapi != nullptr
                             ? reinterpret_cast<UninstallOemInfFn>(GetProcAddress(setupapi, "SetupUninstallOEMInfA"))
                             : nullptr;
  if (uninstallOemInf == nullptr || !uninstallOemInf(infName, SUOI_FORCEDELETE, nullptr)) {
    ctx->debugList.Line("Uninstall associated inf fail!!");
    return false;
  }
  ctx->debugList.Line("Uninstall associated inf success *^.^*");
  if (ctx->beforeVista) {
    if (DeleteFileA(paths.driverFile)) return false;
    return GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND;
  }
  char parameters[3 * kPathSize];
  if (!ComposeRemovalParameters(parameters, sizeof parameters, paths, infName)) return false;
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.hwnd = nullptr;
  info.lpVerb = "runas";
  info.lpFile = paths.removalProgram;
  info.lpParameters = parameters;
  info.nShow = SW_HIDE;
  ShellExecuteExA(&info);
  return false;
}

bool DeleteDriverFileWhenFree(const char* driverFile, unsigned waitMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (DeleteFileA(driverFile)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
    if (GetTickCount() - start >= waitMs) {
      MoveFileExA(driverFile, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
      return false;
    }
    Sleep(100);
  }
}

}  // namespace z9rmv
