// Files and folders on the device file system (see device_paths.h for how
// device paths map onto the host).
#pragma once

#include <cstdio>

#include "platform/types.h"
#include "platform/handles.h"

#define MAX_PATH 260

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_ALL 0x10000000u

#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

#define FILE_FLAG_WRITE_THROUGH 0x80000000u
#define FILE_FLAG_RANDOM_ACCESS 0x10000000u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u

#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u

#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwOID;
  WCHAR cFileName[MAX_PATH];
};
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;

struct BY_HANDLE_FILE_INFORMATION {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD dwVolumeSerialNumber;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD nNumberOfLinks;
  DWORD nFileIndexHigh;
  DWORD nFileIndexLow;
  DWORD dwOID;
};

struct WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
};

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard = 0, GetFileExMaxInfoLevel };
enum FINDEX_INFO_LEVELS { FindExInfoStandard = 0, FindExInfoMaxInfoLevel };
enum FINDEX_SEARCH_OPS {
  FindExSearchNameMatch = 0,
  FindExSearchLimitToDirectories = 1,
  FindExSearchLimitToDevices = 2,
  FindExSearchMaxSearchOp
};

// Creation/last-access times are reported as the last-write time (the host
// keeps no creation time we can rely on). Files are never READONLY unless the
// host denies writing. Names keep the case they have on the host.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile);
// `overlapped` must be null. Reading at or past the end succeeds with 0 bytes.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, DWORD* read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, DWORD* written, LPOVERLAPPED overlapped);
// Returns the new position's low 32 bits, or INVALID_SET_FILE_POINTER with the
// last error set (the last error is set to 0 on success, so a position of
// 0xFFFFFFFF can be told apart).
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
DWORD GetFileSize(HANDLE file, DWORD* sizeHigh);
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info);
BOOL GetFileAttributesExW(LPCWSTR path, GET_FILEEX_INFO_LEVELS level, LPVOID info);
DWORD GetFileAttributesW(LPCWSTR path);
BOOL DeleteFileW(LPCWSTR path);
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR path);
// Moves a file or folder; fails with ERROR_ALREADY_EXISTS when the target exists.
BOOL MoveFileW(LPCWSTR from, LPCWSTR to);
BOOL CopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists);

// Wildcards * and ? match case-insensitively in the last component only.
// Results are sorted (case-insensitive, then by code units), never contain
// "." or "..", never an empty name. A path without wildcards returns that
// entry itself (a folder's own entry too). Symbolic links to folders are not
// listed. No match: INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND (or
// ERROR_PATH_NOT_FOUND when the folder is missing).
HANDLE FindFirstFileW(LPCWSTR pattern, WIN32_FIND_DATAW* data);
// FALSE with ERROR_NO_MORE_FILES at the end.
BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data);
BOOL FindClose(HANDLE find);
// Supports FindExInfoStandard with FindExSearchNameMatch or
// FindExSearchLimitToDirectories (folders only); `filter` must be null and
// `flags` 0.
HANDLE FindFirstFileExW(LPCWSTR pattern, FINDEX_INFO_LEVELS level, LPVOID data, FINDEX_SEARCH_OPS search,
                        LPVOID filter, DWORD flags);

// Makes "<folder>\<prefix up to 3 chars><hex>.tmp". unique 0: picks a number
// and creates the empty file; else only formats the name. Returns the number
// used, 0 on failure. `out` holds MAX_PATH characters.
UINT GetTempFileNameW(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR out);

// Object-store lookup by object id. Our file system reports every file by
// name, so there is never an object to find: always FALSE.
using CEOID = DWORD;
#define OBJTYPE_INVALID 0
#define OBJTYPE_FILE 1
#define OBJTYPE_DIRECTORY 2
struct CEFILEINFO {
  DWORD dwAttributes;
  CEOID oidParent;
  WCHAR szFileName[MAX_PATH];
  FILETIME ftLastChanged;
  DWORD dwLength;
};
struct CEOIDINFO {
  WORD wObjType;
  WORD wPad;
  CEFILEINFO infFile;
};
BOOL CeOidGetInfo(CEOID oid, CEOIDINFO* info);

// The runtime's wide fopen over the same path mapping (the font stream uses
// it). Mode letters as for fopen; folders and folder links are refused.
FILE* _wfopen(LPCWSTR path, LPCWSTR mode);

// --- Test hooks ---
// File functions that errors can be injected into.
enum class FileCall {
  CreateFile,
  ReadFile,
  WriteFile,
  SetFilePointer,
  GetFileSize,
  GetFileInformation,
  GetFileAttributes,
  DeleteFile,
  CreateDirectory,
  MoveFile,
  FindFirstFile,
  StreamRead,  // reads of files opened with _wfopen
  Count
};
// The nth call of `call` from now (1 = the next) and the `times` - 1 calls
// after it fail with `error` and do nothing else. Each function keeps one
// injection; a new one replaces it.
void InjectFileError(FileCall call, DWORD nth, DWORD error, DWORD times = 1);
void ClearFileErrorInjection();
// Number of file handles currently open (leak checks in tests).
DWORD GetOpenFileHandleCount();
