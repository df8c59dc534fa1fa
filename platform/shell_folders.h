// Special folders of the device.
#pragma once

#include "platform/types.h"

#define CSIDL_PERSONAL 0x0005        // "\My Documents"
#define CSIDL_WINDOWS 0x0024         // "\Windows"
#define CSIDL_PROGRAM_FILES 0x0026   // "\Program Files"

// Writes the folder's device path (no trailing "\") into `path` (MAX_PATH
// characters). With `create` the folder is made when missing. FALSE for an
// unknown csidl or when the folder cannot be made.
BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int csidl, BOOL create);
