#include "platform/engine_lock.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

struct EngineLock {
  std::mutex mutex;
  std::condition_variable released;
  std::thread::id owner;
  DWORD depth = 0;
};

EngineLock& TheLock() {
  static EngineLock* lock = new EngineLock;  // workers may outlive main's statics
  return *lock;
}

}  // namespace

namespace engine_lock {

void Reacquire(DWORD depth) {
  if (depth == 0) return;
  EngineLock& l = TheLock();
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock lock(l.mutex);
  if (l.depth > 0 && l.owner == me) {
    l.depth += depth;
    return;
  }
  l.released.wait(lock, [&] { return l.depth == 0; });
  l.owner = me;
  l.depth = depth;
}

void Acquire() { Reacquire(1); }

BOOL TryAcquire() {
  EngineLock& l = TheLock();
  const std::thread::id me = std::this_thread::get_id();
  std::lock_guard lock(l.mutex);
  if (l.depth > 0 && l.owner != me) return FALSE;
  l.owner = me;
  ++l.depth;
  return TRUE;
}

void Release() {
  EngineLock& l = TheLock();
  std::lock_guard lock(l.mutex);
  // Releasing a lock one does not hold is a caller's bug; it must not free
  // another thread's hold.
  if (l.depth == 0 || l.owner != std::this_thread::get_id()) return;
  if (--l.depth == 0) {
    l.owner = std::thread::id();
    l.released.notify_all();
  }
}

DWORD ReleaseAll() {
  EngineLock& l = TheLock();
  std::lock_guard lock(l.mutex);
  if (l.depth == 0 || l.owner != std::this_thread::get_id()) return 0;
  const DWORD depth = l.depth;
  l.depth = 0;
  l.owner = std::thread::id();
  l.released.notify_all();
  return depth;
}

BOOL IsHeldByCurrentThread() { return Depth() > 0; }

DWORD Depth() {
  EngineLock& l = TheLock();
  std::lock_guard lock(l.mutex);
  return l.depth > 0 && l.owner == std::this_thread::get_id() ? l.depth : 0;
}

}  // namespace engine_lock
