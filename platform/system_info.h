// Small system services: the idle timer and the system's text for an error.
#pragma once

#include <cstdarg>

#include "platform/types.h"

// Keeps the device from suspending; nothing to do on the host.
void SystemIdleTimerReset();

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_STRING 0x00000400u
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FFu

// Only FORMAT_MESSAGE_FROM_SYSTEM is supported: the English text for an
// ERROR_* number, ending in "\r\n"; numbers without a text of their own get
// "Error N.\r\n". Inserts are never expanded. With
// FORMAT_MESSAGE_ALLOCATE_BUFFER, *(LPWSTR*)buffer receives a LocalAlloc
// block (free it with LocalFree) and `size` is the minimum to allocate.
// Returns the characters written without the terminator, 0 on failure.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer, DWORD size,
                     va_list* arguments);
