#include "engine/mem_handle.h"

#include <cassert>
#include <cstring>

#include "platform/heap.h"

MemHandle* WrapMemHandle(void* data, uint32_t size, uint8_t fromStore, uint8_t borrowed) {
  auto* handle = static_cast<MemHandle*>(LocalAlloc(LPTR, sizeof(MemHandle)));
  if (!handle) return nullptr;
  handle->data = data;
  handle->size = size;
  handle->lockCount = 0;
  handle->MemHandleFromStore = fromStore;
  handle->MemHandleBorrowed = borrowed;
  return handle;
}

MemHandle* NewMemHandle(uint32_t size) {
  // Zero-filled: callers build records in place and may read parts they
  // have not written yet.
  void* data = LocalAlloc(LPTR, size);
  if (!data) return nullptr;
  MemHandle* handle = WrapMemHandle(data, size, 0, 0);
  if (!handle) LocalFree(data);
  return handle;
}

MemHandle* NewMemHandleFromCopy(const void* buffer, uint32_t size) {
  void* data = LocalAlloc(LMEM_FIXED, size);
  if (!data) return nullptr;
  if (size) std::memcpy(data, buffer, size);
  MemHandle* handle = WrapMemHandle(data, size, 1, 0);
  if (!handle) LocalFree(data);
  return handle;
}

int ResizeMemHandle(MemHandle* handle, uint32_t size) {
  if (!handle || handle->MemHandleBorrowed) return 1;
  void* data = LocalReAlloc(handle->data, size, LMEM_MOVEABLE | LMEM_ZEROINIT);
  if (!data) return 1;
  handle->data = data;
  handle->size = size;
  return 0;
}

int FreeMemHandle(MemHandle* handle) {
  if (!handle) return 0;
  if (handle->data && !handle->MemHandleBorrowed) LocalFree(handle->data);
  LocalFree(handle);
  return 0;
}

void FreeTableHandle(MemHandle* handle) {
  if (!handle) return;
  if (!handle->MemHandleBorrowed && handle->data) LocalFree(handle->data);
  LocalFree(handle);
}

void* LockMemHandle(MemHandle* handle) {
  // A count that wrapped to 0 would let the cache evict a record in use.
  assert(handle->lockCount != UINT16_MAX);
  if (handle->lockCount != UINT16_MAX) ++handle->lockCount;
  return handle->data;
}

int UnlockMemHandle(MemHandle* handle) {
  assert(handle->lockCount > 0 && "unbalanced UnlockMemHandle");
  if (handle->lockCount > 0) --handle->lockCount;
  return 0;
}

uint16_t GetMemHandleLockCount(const MemHandle* handle) { return handle->lockCount; }

uint32_t GetMemHandleSize(const MemHandle* handle) { return handle->size; }

void FreePointerArray(void** pointers, uint32_t n) {
  if (!pointers) return;
  for (uint32_t i = 0; i < n; ++i)
    if (pointers[i]) LocalFree(pointers[i]);
}

void* MemAlloc(size_t size) { return LocalAlloc(LMEM_FIXED, size); }
