// The program's resources: a table that the program fills at start-up from
// resources/ (there are no resource sections in our executables). Every
// module handle finds the same table.
#pragma once

#include "platform/types.h"

#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(p) ((reinterpret_cast<ULONG_PTR>(p) >> 16) == 0)

#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_ACCELERATOR MAKEINTRESOURCEW(9)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_CURSOR MAKEINTRESOURCEW(12)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)
#define RT_VERSION MAKEINTRESOURCEW(16)

// `type` is a MAKEINTRESOURCEW id or a string such as u"ASTR" (compared
// case-insensitively). The data is borrowed and must live for the program's
// life. Registering the same (type, id) again replaces the entry.
void RegisterResource(LPCWSTR type, WORD id, const void* data, DWORD size);
// Same with a string name instead of a number.
void RegisterNamedResource(LPCWSTR type, LPCWSTR name, const void* data, DWORD size);
// The text is copied. Registering an id again replaces the text.
void RegisterStringResource(UINT id, LPCWSTR text);

// The module handle of the program (never null); any name gives the same.
HMODULE GetModuleHandleW(LPCWSTR moduleName);

// Null with ERROR_RESOURCE_TYPE_NOT_FOUND / ERROR_RESOURCE_NAME_NOT_FOUND.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// Nothing to unlock or free: the data stays put.
LPVOID LockResource(HGLOBAL loaded);
DWORD SizeofResource(HMODULE module, HRSRC resource);
// Copies at most size - 1 characters and a terminator; returns the characters
// copied. With size 0, *(LPCWSTR*)buffer receives a pointer to the read-only
// (zero-terminated) text and the text's length is returned. 0 when the string
// does not exist.
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int size);
