// The monitor's worker threads (polling, audio status): each has a stop event
// that the main thread signals and the thread waits on. The event is shared
// by both sides, so it stays valid for as long as either may still use it:
// the main thread can let go of a thread that does not end within its grace
// period (one showing a message box, say) without pulling the event from
// under it.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>

#include "win_handles.h"

namespace z9mnt {

struct WorkerShared {
  z9::UniqueHandle stopEvent;   // manual reset, unnamed; may be missing
  std::atomic<bool> ended{false};  // the thread has finished its work

  // Waits up to `ms` for the stop request; true when it came. Without an
  // event the thread cannot be stopped: it sleeps `ms` and answers false.
  bool WaitForStop(DWORD ms) const;
};

struct WorkerSlot {
  z9::UniqueHandle thread;
  std::shared_ptr<WorkerShared> shared;

  bool Exists() const { return thread.valid() && shared && !shared->ended.load(); }
};

using WorkerBody = void (*)(WorkerShared& shared);

struct WorkerStart {
  bool eventCreated = false;
  bool threadCreated = false;
};

// Creates the stop event and then the thread (requested stack `stackSize`,
// 0 for the default) running `body`. Whatever an ended thread left in the
// slot is closed first. A thread is created even when the event is not.
WorkerStart StartWorker(WorkerSlot* slot, WorkerBody body, unsigned stackSize);

// Signals the stop event, waits up to `graceMs` for the thread to end while
// handling the messages other threads send to this one (a worker's log line
// is such a message), and lets go of both handles. The slot is emptied first,
// so a start that runs during the wait gets a new thread. True when the
// thread ended within the grace period.
bool StopWorker(WorkerSlot* slot, DWORD graceMs);

// Waits for `handle` up to `timeoutMs`, handling sent messages meanwhile
// (posted messages stay queued). True when the handle was signalled.
bool WaitHandlingSentMessages(HANDLE handle, DWORD timeoutMs);

}  // namespace z9mnt
