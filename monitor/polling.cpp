#include "polling.h"

#include "button_poller.h"
#include "device_control.h"
#include "device_presence.h"
#include "log.h"
#include "monitor_state.h"
#include "settings.h"

namespace z9mnt {

namespace {

constexpr unsigned kWorkerStack = 2048;
constexpr DWORD kPollPeriodMs = 100;
constexpr DWORD kAudioPeriodMs = 50;
constexpr DWORD kPollingGraceMs = 800;
constexpr DWORD kAudioGraceMs = 650;

// Shows the disconnect warning and clears the request.
void ShowDisconnectWarning() {
  MessageBoxA(nullptr, Monitor().strings.dmpString2, "", MB_ICONWARNING);
  z9::WriteSettingDword("AudioStatus", 0);
}

void PostEvent(UINT id) { PostMessageA(Monitor().mainWindow, WM_COMMAND, id, 0); }

void PollingThread(WorkerShared& shared) {
  LogLine("Thread created.....");
  const bool loaded = LoadDeviceControl() != 0;
  if (!loaded) {
    LogLine("CreateKsSynchronousDeviceControl fail");
  } else {
    {
      z9::UniqueHandle camera = OpenCameraDevice();
      if (camera) QueryStillBufferSize(camera.get());
    }
    // The stop event is this thread's own and starts unsignalled: a stop
    // requested while the thread was getting ready is kept, not reset.
    ButtonPoller poller;
    for (;;) {
      if (shared.WaitForStop(kPollPeriodMs)) {
        LogLine("Thread Shutdown..");
        break;
      }
      DWORD audio = 0;
      z9::ReadSettingDword("AudioStatus", &audio);
      LogLine("AudioStatus = %d", static_cast<int>(audio));
      if (audio == 1 || audio == 2) ShowDisconnectWarning();
      if (PollOnce(poller) == 0) break;
    }
    ReleaseDeviceControl();
  }
  shared.ended = true;
  LogLine("Thread killed.....");
}

void CheckTurnOffAudioThread(WorkerShared& shared) {
  LogLine("Thread CheckTurnOffAudioThread created.....");
  if (LoadDeviceControl() == 0) {
    LogLine("CreateKsSynchronousDeviceControl fail");
  } else {
    while (!shared.WaitForStop(kAudioPeriodMs)) {
      DWORD audio = 0;
      z9::ReadSettingDword("AudioStatus", &audio);
      if (audio == 1) ShowDisconnectWarning();
    }
    LogLine("Thread Shutdown..");
    ReleaseDeviceControl();
  }
  shared.ended = true;
  LogLine("Thread killed.....");
}

}  // namespace

void CreatePollingThread() {
  z9::WriteSettingDword("DeviceStatus", 0);
  MonitorState& m = Monitor();
  if (m.polling.Exists()) return;
  LogLine("IN CreatePollingThread");
  const WorkerStart started = StartWorker(&m.polling, PollingThread, kWorkerStack);
  if (!started.eventCreated) LogLine("Create event fail");
  if (!started.threadCreated) LogLine("Create thread fail");
}

void ClosePollingThread() {
  MonitorState& m = Monitor();
  if (!m.polling.thread.valid()) return;
  // A thread that ended on its own is gone already; only its handle is left.
  if (m.polling.Exists()) LogLine("ClosePollingThread");
  StopWorker(&m.polling, kPollingGraceMs);
}

void CreatePollingThread2() {
  MonitorState& m = Monitor();
  if (m.audio.Exists()) return;
  LogLine("IN CreatePollingThread-2");
  const WorkerStart started = StartWorker(&m.audio, CheckTurnOffAudioThread, kWorkerStack);
  if (!started.eventCreated) LogLine("Create event-2 fail");
  if (!started.threadCreated) LogLine("Create thread-2 fail");
}

void ClosePollingThread2() {
  MonitorState& m = Monitor();
  if (!m.audio.thread.valid()) return;
  if (m.audio.Exists()) LogLine("ClosePollingThread2");
  StopWorker(&m.audio, kAudioGraceMs);
}

int PollOnce(ButtonPoller& poller) {
  DWORD deviceStatus = 0;
  z9::ReadSettingDword("DeviceStatus", &deviceStatus);
  if (deviceStatus != 0) return 1;
  if (z9::ReadPollDevice() == 0) return 1;

  z9::UniqueHandle camera = OpenCameraDevice();
  if (!camera) {
    LogLine("Error! Can not create device handle.");
    return 0;
  }
  const PollOutcome out = poller.Step(ReadButtonState(camera.get()));
  if (out.logLine != nullptr) LogLine("%s", out.logLine);
  const MonitorState& m = Monitor();
  if (out.event == ButtonEvent::Snapshot) PostEvent(m.messages.snapshot);
  if (out.event == ButtonEvent::Launch) PostEvent(m.messages.launch);
  if (out.pause) Sleep(kPauseAfterEventMs);
  camera.reset();
  return out.keepPolling ? 1 : 0;
}

}  // namespace z9mnt
