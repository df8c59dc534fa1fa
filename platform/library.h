// Shared libraries: LoadLibraryW / GetProcAddress / FreeLibrary over
// dlopen / dlsym / dlclose. A device path ("\..." ) is mapped to the host
// first; the file name's extension is not special ("Quillet.dll" is an ELF
// shared object).
#pragma once

#include "platform/types.h"

using FARPROC = void (*)();

// Null on failure (ERROR_FILE_NOT_FOUND, or ERROR_INVALID_PARAMETER for a
// file that is not a loadable library). Loading the same file again gives
// the same handle and counts a reference.
HMODULE LoadLibraryW(LPCWSTR fileName);
// Null for an unknown name (ERROR_PROC_NOT_FOUND) or a bad module.
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);

#ifndef ERROR_PROC_NOT_FOUND
#define ERROR_PROC_NOT_FOUND 127L
#endif
#ifndef ERROR_MOD_NOT_FOUND
#define ERROR_MOD_NOT_FOUND 126L
#endif
