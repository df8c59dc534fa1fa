// Relocatable memory blocks. Records, blobs and results cross subsystems in
// a MemHandle and the receiver frees it. The lock count does not pin the
// data (it moves only when the handle is resized); it is how the record
// cache tells records in use from evictable ones.
#pragma once

#include <cstddef>
#include <cstdint>

struct MemHandle {
  void* data;
  uint32_t size;
  uint16_t lockCount;
  uint8_t MemHandleFromStore;  // made from a file record, a copy or a resource table
  uint8_t MemHandleBorrowed;   // the data belongs to a resource and is never freed here
};

// A new handle over a zero-filled block of `size` bytes; lock count 0, both
// marks 0. Null when the heap is exhausted.
MemHandle* NewMemHandle(uint32_t size);
// A new handle over a new copy of `size` bytes of `buffer`;
// MemHandleFromStore 1.
// Null when the heap is exhausted.
MemHandle* NewMemHandleFromCopy(const void* buffer, uint32_t size);
// A new handle over an existing block: `data` must come from the local heap
// unless `borrowed` is 1. On failure (null) the block is left to the caller.
MemHandle* WrapMemHandle(void* data, uint32_t size, uint8_t fromStore, uint8_t borrowed);
// 0 on success, 1 when the heap cannot grow the block (the handle keeps its
// old block and size). The data may move; a grown part is zero-filled.
int ResizeMemHandle(MemHandle* handle, uint32_t size);
// Frees the block and the handle, whatever the marks say. Null is ignored.
// Returns 0.
int FreeMemHandle(MemHandle* handle);
// Frees the block only when it is not borrowed, then the handle (for the
// built-in tables and message texts). Null is ignored.
void FreeTableHandle(MemHandle* handle);

void* LockMemHandle(MemHandle* handle);
// Returns 0. An unlock at lock count 0 is a caller's bug: the count stays 0
// (asserted in debug builds) so that a record can still be evicted later.
int UnlockMemHandle(MemHandle* handle);
uint16_t GetMemHandleLockCount(const MemHandle* handle);
uint32_t GetMemHandleSize(const MemHandle* handle);

// Frees each of the first n blocks of an array of local-heap blocks (not the
// array itself); null entries are skipped.
void FreePointerArray(void** pointers, uint32_t n);
// A fixed block from the local heap (free it with LocalFree).
void* MemAlloc(size_t size);
