#include "worker_thread.h"

#include <process.h>

#include <new>

namespace z9mnt {

bool WorkerShared::WaitForStop(DWORD ms) const {
  if (!stopEvent) {
    Sleep(ms);
    return false;
  }
  return WaitForSingleObject(stopEvent.get(), ms) == WAIT_OBJECT_0;
}

namespace {

struct ThreadStart {
  WorkerBody body;
  std::shared_ptr<WorkerShared> shared;
};

unsigned __stdcall WorkerMain(void* arg) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(arg));
  // An allocation failure ends the thread's work, never the process.
  try {
    start->body(*start->shared);
  } catch (const std::bad_alloc&) {
  }
  start->shared->ended = true;
  return 0;
}

// Closes the handles of a thread that has finished its work; it may still be
// on its way out, which takes no time worth mentioning.
void Reap(WorkerSlot* slot) {
  if (slot->thread.valid()) WaitHandlingSentMessages(slot->thread.get(), 1000);
  slot->thread.reset();
  slot->shared.reset();
}

}  // namespace

WorkerStart StartWorker(WorkerSlot* slot, WorkerBody body, unsigned stackSize) {
  WorkerStart result;
  Reap(slot);
  auto shared = std::make_shared<WorkerShared>();
  shared->stopEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  result.eventCreated = shared->stopEvent.valid();

  auto* start = new ThreadStart{body, shared};
  const uintptr_t h = _beginthreadex(nullptr, stackSize, WorkerMain, start, 0, nullptr);
  if (h == 0) {
    delete start;
    return result;
  }
  result.threadCreated = true;
  slot->thread.reset(reinterpret_cast<HANDLE>(h));
  slot->shared = std::move(shared);
  return result;
}

bool StopWorker(WorkerSlot* slot, DWORD graceMs) {
  WorkerSlot taken;
  taken.thread = std::move(slot->thread);
  taken.shared = std::move(slot->shared);
  if (taken.shared && taken.shared->stopEvent) SetEvent(taken.shared->stopEvent.get());
  bool ended = true;
  if (taken.thread.valid()) ended = WaitHandlingSentMessages(taken.thread.get(), graceMs);
  // Closing the thread handle does not touch the thread; the event goes when
  // the last of the two sides lets go of it.
  return ended;
}

bool WaitHandlingSentMessages(HANDLE handle, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    const DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) return true;
    if (r != WAIT_OBJECT_0 + 1) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    // Handles the waiting sent messages and nothing else.
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace z9mnt
