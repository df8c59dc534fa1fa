// The registry: keys under HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER with
// typed values, kept in the device root's file "registry.dat". Every change
// rewrites the whole file atomically (temporary file, fsync, rename), so a
// crash leaves the old or the new store, never half of one. A store that
// cannot be read (damaged, not a regular file, or larger than the reader's
// cap) is renamed to "registry.dat.bad" and an empty one is used; when it
// cannot be renamed it is left untouched and the session keeps its values
// in memory only. A change that would make the store larger than the cap
// fails with ERROR_CANTWRITE and is not kept.
// Results are ERROR_* numbers (ERROR_SUCCESS = 0).
#pragma once

#include "platform/types.h"
#include "platform/files.h"

using REGSAM = DWORD;
using PHKEY = HKEY*;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u)))

#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u

#define REG_OPTION_NON_VOLATILE 0u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu

#define SORVI_REGISTRY_FILE "registry.dat"

// Sub-key paths use "\" between names; names compare case-insensitively.
LONG RegCreateKeyExW(HKEY parent, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM access,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, DWORD* disposition);
// ERROR_FILE_NOT_FOUND when the key does not exist.
LONG RegOpenKeyExW(HKEY parent, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
// Any of type, data, size may be null. With null data and a size, the size is
// returned (ERROR_SUCCESS); with a buffer too small, ERROR_MORE_DATA and the
// size needed. A missing value gives ERROR_FILE_NOT_FOUND. Values come back
// with the exact bytes and type they were stored with.
LONG RegQueryValueExW(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
// Null or "" name is the key's default value.
LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteValueW(HKEY key, LPCWSTR name);
// Deletes a sub-key without sub-keys of its own (ERROR_ACCESS_DENIED otherwise).
LONG RegDeleteKeyW(HKEY parent, LPCWSTR subKey);
LONG RegFlushKey(HKEY key);
LONG RegCloseKey(HKEY key);

// --- Test hooks ---
// Drops the in-memory store; the next call reads the file again (the store
// also reloads by itself when the device root changes). Keys open at that
// moment become invalid.
void ReloadRegistryForTests();
// While set, RegCreateKeyExW and RegOpenKeyExW fail with `error` for keys whose
// path (below the root key, e.g. u"Software\\Sorvi") equals `subKeyPath`
// case-insensitively, or for every key when `subKeyPath` is null.
// error 0 removes the failure.
void SetRegistryOpenFailure(LPCWSTR subKeyPath, LONG error);
// While set, RegQueryValueExW fails with `error` when it is asked for the
// data (a buffer given) of a value named `valueName` (case-insensitively),
// in any key; a query of the size or type alone still succeeds, as when
// the storage fails between the two. error 0 removes the failure.
void SetRegistryReadFailure(LPCWSTR valueName, LONG error);
