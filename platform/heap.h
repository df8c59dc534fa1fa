// The local heap. Blocks are fixed: the handle is the data pointer.
// LocalReAlloc may move a block only when asked with LMEM_MOVEABLE.
#pragma once

#include "platform/types.h"

#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)

// Returns the block, or null (last error ERROR_NOT_ENOUGH_MEMORY).
// LMEM_MOVEABLE is accepted and gives a fixed block as well.
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
// Grows or shrinks a block. Without LMEM_MOVEABLE a block that would have to
// move is left as it is and null is returned; on any failure the old block
// stays valid and unchanged. LMEM_ZEROINIT clears the grown part.
HLOCAL LocalReAlloc(HLOCAL mem, SIZE_T bytes, UINT flags);
// Returns null on success, the block itself when it is not a heap block.
HLOCAL LocalFree(HLOCAL mem);
// Requested size of the block; 0 for null or a foreign pointer.
SIZE_T LocalSize(HLOCAL mem);

// --- Test hooks ---
// Makes the nth allocation from now (1 = the next one) fail, and the
// `count` - 1 allocations after it too. Growing reallocations count.
void SetLocalHeapFailure(DWORD nth, DWORD count);
void ClearLocalHeapFailure();
// Number of blocks currently allocated (for leak checks in tests).
SIZE_T GetLocalHeapBlockCount();
