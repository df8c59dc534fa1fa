// Kernel object handles (files, threads, events). A handle is an index and a
// generation packed into a pointer-sized value; it is never 0 and never
// INVALID_HANDLE_VALUE, and a closed handle is refused even after its slot is
// reused.
#pragma once

#include "platform/types.h"

// Closes a file, thread or event handle. FALSE with ERROR_INVALID_HANDLE for
// anything else (find handles are closed with FindClose).
BOOL CloseHandle(HANDLE handle);
