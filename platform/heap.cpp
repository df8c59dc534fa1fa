#include "platform/heap.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/errors.h"

namespace {

// Each block carries a header in front of the data: the requested size and a
// mark that tells our blocks from foreign pointers and freed ones.
struct alignas(16) BlockHeader {
  SIZE_T size;
  ULONGLONG mark;
};
constexpr ULONGLONG kLiveMark = 0x534F5256484C4F43ull;  // "SORVHLOC"
constexpr ULONGLONG kFreedMark = 0x66726565642D2D2Dull;

std::atomic<SIZE_T> g_blocks{0};

struct FailurePlan {
  std::mutex mutex;
  DWORD skip = 0;   // allocations still to let through
  DWORD fail = 0;   // allocations to fail after those
  // Whether a plan is set: every allocation asks, and almost always there
  // is none, so it asks without the lock.
  std::atomic<bool> armed{false};
};
FailurePlan g_plan;

bool AllocationShouldFail() {
  if (!g_plan.armed.load(std::memory_order_acquire)) return false;
  std::lock_guard lock(g_plan.mutex);
  if (g_plan.fail == 0) {
    g_plan.armed.store(false, std::memory_order_relaxed);
    return false;
  }
  if (g_plan.skip > 0) {
    --g_plan.skip;
    return false;
  }
  --g_plan.fail;
  return true;
}

BlockHeader* HeaderOf(HLOCAL mem) {
  if (!mem || (reinterpret_cast<ULONG_PTR>(mem) % alignof(BlockHeader)) != 0) return nullptr;
  BlockHeader* h = static_cast<BlockHeader*>(mem) - 1;
  return h->mark == kLiveMark ? h : nullptr;
}

}  // namespace

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  if (bytes > (SIZE_T{1} << 40) || AllocationShouldFail()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* h = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + bytes));
  if (!h) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  h->size = bytes;
  h->mark = kLiveMark;
  if (flags & LMEM_ZEROINIT) std::memset(h + 1, 0, bytes);
  ++g_blocks;
  return h + 1;
}

HLOCAL LocalReAlloc(HLOCAL mem, SIZE_T bytes, UINT flags) {
  BlockHeader* h = HeaderOf(mem);
  if (!h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const SIZE_T old = h->size;
  if (bytes <= old) {
    // Shrinking never moves the block.
    h->size = bytes;
    return mem;
  }
  // A fixed block cannot grow in place here, so growth needs the moveable flag.
  if (!(flags & LMEM_MOVEABLE) || bytes > (SIZE_T{1} << 40) || AllocationShouldFail()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // realloc grows in place when it can: lists that grow in small steps
  // (search results) would otherwise copy themselves at every step.
  auto* n = static_cast<BlockHeader*>(std::realloc(h, sizeof(BlockHeader) + bytes));
  if (!n) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (flags & LMEM_ZEROINIT) std::memset(reinterpret_cast<BYTE*>(n + 1) + old, 0, bytes - old);
  n->size = bytes;
  return n + 1;
}

HLOCAL LocalFree(HLOCAL mem) {
  if (!mem) return nullptr;
  BlockHeader* h = HeaderOf(mem);
  if (!h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return mem;
  }
  h->mark = kFreedMark;
  std::free(h);
  --g_blocks;
  return nullptr;
}

SIZE_T LocalSize(HLOCAL mem) {
  BlockHeader* h = HeaderOf(mem);
  if (!h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return h->size;
}

void SetLocalHeapFailure(DWORD nth, DWORD count) {
  std::lock_guard lock(g_plan.mutex);
  g_plan.skip = nth > 0 ? nth - 1 : 0;
  g_plan.fail = count;
  g_plan.armed.store(count > 0, std::memory_order_release);
}

void ClearLocalHeapFailure() { SetLocalHeapFailure(0, 0); }

SIZE_T GetLocalHeapBlockCount() { return g_blocks.load(); }
