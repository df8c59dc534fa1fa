// The engine lock: one process-wide recursive lock that guards engine and
// flashcard state shared by the UI thread and the workers. It knows its owner
// thread and depth, so a thread about to wait (message loop, modal loop,
// WaitForSingleObject, cross-thread send) can let go of every level and take
// them all back afterwards.
#pragma once

#include "platform/types.h"

namespace engine_lock {

void Acquire();
BOOL TryAcquire();
// The caller must hold the lock.
void Release();
// Releases every level the current thread holds; returns how many (0 when it
// held none, in which case nothing happens).
DWORD ReleaseAll();
// Takes the lock back `depth` times (0 does nothing).
void Reacquire(DWORD depth);
BOOL IsHeldByCurrentThread();
// Levels held by the current thread (0 when another thread or none owns it).
DWORD Depth();

}  // namespace engine_lock

// Holds one level of the engine lock for its scope.
struct EngineLockGuard {
  EngineLockGuard() { engine_lock::Acquire(); }
  ~EngineLockGuard() { engine_lock::Release(); }
  EngineLockGuard(const EngineLockGuard&) = delete;
  EngineLockGuard& operator=(const EngineLockGuard&) = delete;
};

// Lets go of every level for its scope and takes them back at its end.
struct EngineLockReleaser {
  EngineLockReleaser() : depth(engine_lock::ReleaseAll()) {}
  ~EngineLockReleaser() { engine_lock::Reacquire(depth); }
  EngineLockReleaser(const EngineLockReleaser&) = delete;
  EngineLockReleaser& operator=(const EngineLockReleaser&) = delete;
  DWORD depth;
};
