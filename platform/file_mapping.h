// Read-only views of files: a file's bytes in memory, paged in from the host
// file on first touch and shared with its page cache, so reading a record
// costs neither a system call nor a copy.
//
// A view stays valid until UnmapViewOfFile, whatever becomes of the handles
// it came from. A view does not follow the file: should the file shrink
// under it, the pages past the new end read as zeros (on the device a read
// of a vanished page raises an exception; here the program goes on and
// reads what its own checks must refuse), so code reading a view must check
// what it reads as it would check bytes read from the file.
#pragma once

#include "platform/files.h"
#include "platform/types.h"

#define PAGE_READONLY 0x02u
#define FILE_MAP_READ 0x0004u

// A mapping of `file` (opened for reading). Only read-only (PAGE_READONLY),
// unnamed mappings; a maximum size of 0 takes the file's size now, and a
// size past the file's end is refused (the view would hold no bytes of the
// file there). Null on failure, with the last error set: ERROR_INVALID_HANDLE,
// ERROR_ACCESS_DENIED (not opened for reading), ERROR_NOT_SUPPORTED (another
// protection or a name), ERROR_FILE_INVALID (an empty file or a size past
// its end). Closed with CloseHandle; the views made from it stay.
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name);
// A view of `bytes` of the mapping from the offset on (0 bytes: to the
// mapping's end). The offset is a multiple of the allocation granularity
// (64 KB). Null on failure with the last error set: ERROR_INVALID_HANDLE,
// ERROR_INVALID_PARAMETER (a bad offset or a range past the mapping),
// ERROR_NOT_SUPPORTED (access other than FILE_MAP_READ),
// ERROR_NOT_ENOUGH_MEMORY (no address space, or kMaxFileViews views open).
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);
// FALSE with ERROR_INVALID_ADDRESS when `base` is not the start of a view.
BOOL UnmapViewOfFile(LPCVOID base);

// Views open at once: the fault handler finds a view in a fixed table,
// without a lock.
inline constexpr DWORD kMaxFileViews = 64;

// --- Test hooks ---
// Pages of views that the file no longer backed when read, and that were
// given zeros instead, since the program started.
DWORD GetFileViewZeroedPageCount();
