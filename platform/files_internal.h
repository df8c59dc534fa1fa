// Internal: what other platform modules need of an open file.
#pragma once

#include "platform/types.h"

// A new descriptor of the host file behind `file` (close-on-exec; the caller
// closes it), or -1 with the last error set: ERROR_INVALID_HANDLE for a
// handle that is not an open file, ERROR_ACCESS_DENIED when it was not opened
// for reading.
int DuplicateReadDescriptor(HANDLE file);
