// The button polling thread (one cycle every 100 ms while the camera is
// present) and the audio-status thread (50 ms cycle, started when no camera
// is found at start-up). Both are started and stopped on the main thread.
#pragma once
#include <windows.h>

namespace z9mnt {

class ButtonPoller;

// Resets "DeviceStatus" and starts the polling thread unless it runs.
void CreatePollingThread();
// Stops the polling thread: signals it and waits for its end, at most 800 ms.
void ClosePollingThread();

// The audio-status thread CheckTurnOffAudioThread.
void CreatePollingThread2();
// Stops it: signals it and waits for its end, at most 650 ms.
void ClosePollingThread2();

// One polling cycle: 1 to go on, 0 to end the thread.
int PollOnce(ButtonPoller& poller);

}  // namespace z9mnt
