// Small binary stream files of the program's own state, kept in its folder
// under Program Files: the saved flashcard session and the reader
// bookmarks. What they hold is up to their writers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

enum AppStreamKind : int32_t {
  kStreamSavedFlashSession = 1,  // "\Sorvi Saved Flash Session"
  kStreamReaderBookmarks = 2,    // "\Sorvi Reader Bookmarks"
};

struct AppStreamFile {
  int32_t kind;
  HANDLE handle;
};

// Opens the file of `kind` for reading and writing, without sharing: with
// `create` a new empty file (replacing one that exists), else with
// `mustExist` only an existing one, else an existing one or a new one. When
// the folder is missing and mustExist is 0 it is created. Null for an
// unknown kind or any failure.
AppStreamFile* OpenAppStreamFile(int32_t kind, int create, int mustExist);
// Closes the handle and frees the object; 0.
int CloseAppStreamFile(AppStreamFile* file);
// 0 when the file of that kind was deleted, else 1.
int DeleteAppStreamFile(int32_t kind);
// 0 when `position` (from the start) was reached, else 1.
int SeekAppStreamFile(AppStreamFile* file, uint32_t position);
int SeekAppStreamFileToEnd(AppStreamFile* file);
// 0 when all size × count bytes were read / written, 1 on a failed or short
// transfer.
int ReadAppStreamFile(void* buffer, size_t size, size_t count, AppStreamFile* file);
int WriteAppStreamFile(const void* buffer, size_t size, size_t count, AppStreamFile* file);
uint32_t TellAppStreamFile(AppStreamFile* file);
// True when the file size is not above the current position.
bool IsAppStreamFileAtEnd(AppStreamFile* file);
