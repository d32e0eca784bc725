// The messenger notification: a hidden window "SpyHookWindow" of class
// "SpyHookClass" on a thread of its own, through which another program
// switches the camera light's blinking on and off with WM_COPYDATA, and timer
// 1 of the main window that pulses the light once a second while it is on.
#pragma once
#include <windows.h>

#include <cstddef>

namespace z9mnt {

// Registers "SpyHookClass" for this program's instance.
bool RegisterMessengerClass(HINSTANCE instance);

// Starts the thread with its window (unless it runs) and sets timer 1.
void StartMessengerNotification();
// Closes the window, waits for the thread to end and kills timer 1.
void StopMessengerNotification();

// One light pulse on general-purpose output 6 (main thread, timer 1).
void BlinkMessengerLed();

// The switch of a WM_COPYDATA data block: its second 32-bit word. False (and
// *on untouched) for a missing block or one shorter than 8 bytes.
bool BlinkSwitchOf(const void* data, size_t size, bool* on);

}  // namespace z9mnt
