#include "engine/db_file.h"

#include <mutex>

#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/file_mapping.h"
#include "platform/files.h"
#include "platform/heap.h"
#include "platform/handles.h"

namespace {

// Guards the list and every DbFile's handle and file position: a worker
// thread and the UI thread must not seek and read one handle at once, nor
// close a handle another thread is reading.
std::mutex g_lock;
OpenFileList g_openFileList;

constexpr uint32_t kTypeSxdb = 0x53584442;  // "SXDB"
constexpr uint32_t kTypeSddb = 0x53444442;  // "SDDB"
constexpr uint32_t kCreatorSrvn = 0x5352564E;  // "SRVN"
constexpr int kAccessDeniedRetries = 10;
constexpr DWORD kAccessDeniedWaitMs = 10;
// A reused record block may exceed the record by at most 1/8 of it, so that
// recycling never holds much more memory than fresh blocks would.
constexpr uint32_t kSpareSlackDivisor = 8;

uint32_t LoadBe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

uint16_t LoadBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint32_t RecordOffset(const DbFile* file, uint32_t index) { return LoadBe32(file->recordList[index].offset); }

bool HoldsValidHandle(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }

void CloseFileHandle(DbFile* file) {
  if (HoldsValidHandle(file->handle)) CloseHandle(file->handle);
  file->handle = nullptr;
}

HANDLE OpenByPath(const DbFile* file) {
  return CreateFileW(file->path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_FLAG_RANDOM_ACCESS, nullptr);
}

// Closes and reopens the file in place (it keeps its entry in the list).
// A failed open leaves the invalid handle, so later reads fail cleanly.
void ReopenFile(DbFile* file) {
  CloseFileHandle(file);
  file->handle = OpenByPath(file);
}

bool IsLostStorageError(DWORD error) {
  return error == ERROR_INVALID_HANDLE || error == ERROR_DEVICE_REMOVED || error == ERROR_DEVICE_NOT_AVAILABLE;
}

bool SeekTo(HANDLE h, uint32_t offset) {
  LONG high = 0;
  DWORD r = SetFilePointer(h, static_cast<LONG>(offset), &high, FILE_BEGIN);
  return !(r == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR);
}

void EnsureOpenLocked(DbFile* file) {
  if (file->handle) return;
  file->handle = OpenByPath(file);
  int found = -1;
  for (int i = 0; i < kOpenFileListSize; ++i) {
    if (g_openFileList.entries[i] == file) {
      found = i;
      break;
    }
    if (!g_openFileList.entries[i]) {
      g_openFileList.entries[i] = file;
      return;
    }
  }
  if (found == 0) return;
  if (found < 0) {
    // Not a least-recently-used list: the file in the last entry gives up
    // its handle whatever its use.
    DbFile* last = g_openFileList.entries[kOpenFileListSize - 1];
    CloseFileHandle(last);
    found = kOpenFileListSize - 1;
  }
  for (int i = found; i > 0; --i) g_openFileList.entries[i] = g_openFileList.entries[i - 1];
  g_openFileList.entries[0] = file;
}

void RemoveFromListLocked(DbFile* file) {
  int to = 0;
  for (int i = 0; i < kOpenFileListSize; ++i)
    if (g_openFileList.entries[i] != file) g_openFileList.entries[to++] = g_openFileList.entries[i];
  while (to < kOpenFileListSize) g_openFileList.entries[to++] = nullptr;
}

void FreeDbFile(DbFile* file) {
  if (file->view) UnmapViewOfFile(file->view);
  if (file->recordList) LocalFree(file->recordList);
  delete file;
}

// Reads exactly `length` bytes at the current position.
bool ReadExactly(HANDLE h, void* block, uint32_t length, BOOL* ok) {
  DWORD got = 0;
  *ok = ReadFile(h, block, length, &got, nullptr);
  return *ok && got == length;
}

}  // namespace

DbFile* OpenDbFile(HANDLE handle, LPCWSTR path, int* kind) {
  if (!HoldsValidHandle(handle)) return nullptr;
  DbFile* file = nullptr;
  auto refuse = [&]() -> DbFile* {
    CloseHandle(handle);
    if (file) FreeDbFile(file);
    return nullptr;
  };

  uint8_t header[80];
  DWORD got = 0;
  if (!SeekTo(handle, 0) || !ReadFile(handle, header, sizeof header, &got, nullptr) || got < kDbHeaderSize)
    return refuse();
  const uint32_t type = LoadBe32(header + 60);
  if (LoadBe32(header + 64) != kCreatorSrvn || (type != kTypeSxdb && type != kTypeSddb)) return refuse();
  if (kind) *kind = kDbKindDataFile;

  file = new DbFile{};
  file->path = path ? path : u"";
  file->recordCount = LoadBe16(header + 76);
  if (file->recordCount == 0) return refuse();

  const uint32_t listBytes = file->recordCount * kDbRecordEntrySize;
  file->recordList = static_cast<DbRecordEntry*>(LocalAlloc(LMEM_FIXED, listBytes));
  if (!file->recordList) return refuse();
  if (!SeekTo(handle, kDbHeaderSize) || !ReadFile(handle, file->recordList, listBytes, &got, nullptr) ||
      got < listBytes)
    return refuse();

  const DWORD fileSize = GetFileSize(handle, nullptr);
  if (fileSize == INVALID_FILE_SIZE) return refuse();
  // Records lie in list order after the list and inside the file; anything
  // else would make a record's length wrap.
  uint32_t previous = kDbHeaderSize + listBytes;
  for (uint32_t i = 0; i < file->recordCount; ++i) {
    const uint32_t offset = RecordOffset(file, i);
    if (offset < previous || offset > fileSize) return refuse();
    previous = offset;
  }
  file->dataSize = fileSize - RecordOffset(file, 0);
  CloseHandle(handle);
  file->handle = nullptr;
  return file;
}

void ClearOpenFileCache() {
  std::lock_guard<std::mutex> guard(g_lock);
  for (DbFile*& entry : g_openFileList.entries) entry = nullptr;
}

void EnsureDbFileOpen(DbFile* file) {
  std::lock_guard<std::mutex> guard(g_lock);
  EnsureOpenLocked(file);
}

uint32_t GetDbRecordCount(const DbFile* file) { return file->recordCount; }

int CheckDbFileSizes(DbFile* file, uint32_t recordCount, uint32_t fileSize, uint32_t dataSize) {
  std::lock_guard<std::mutex> guard(g_lock);
  EnsureOpenLocked(file);
  const DWORD size = GetFileSize(file->handle, nullptr);
  if (size == INVALID_FILE_SIZE) return 1;
  return recordCount == file->recordCount && fileSize == size && dataSize == file->dataSize ? 0 : 1;
}

uint32_t GetDbFileWriteStamp(DbFile* file) {
  std::lock_guard<std::mutex> guard(g_lock);
  EnsureOpenLocked(file);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file->handle, &info)) return 0;
  return info.ftLastWriteTime.dwLowDateTime;
}

MemHandle* ReadDbRecord(DbFile* file, uint32_t index) { return ReadDbRecordReusing(file, index, nullptr); }

namespace {

// Whether the file is found cut shorter than its view. The byte before
// `end` (the record's last, and so the one furthest in) is read first: a
// page the file no longer backs is given zeros by the platform, which counts
// it, and only when the count has moved since the file last looked (a page
// of some view was lost, here or in an earlier read) is the file's size
// asked for; asking on every block read would cost a system call each. A
// file found shorter gives up its view for reads (records already borrowed
// from it stay valid memory), so a lost record fails its read and the others
// are read from the file. A cut within the file's last page is not seen:
// the bytes past it read as zeros, which the table reader must check as it
// checks every block.
bool ViewLostPages(DbFile* file, uint32_t end) {
  const volatile uint8_t* last = file->view + end - 1;
  (void)*last;
  const DWORD zeroed = GetFileViewZeroedPageCount();
  if (zeroed == file->viewZeroedSeen) return false;
  file->viewZeroedSeen = zeroed;
  EnsureOpenLocked(file);
  const DWORD size = GetFileSize(file->handle, nullptr);
  if (size != INVALID_FILE_SIZE && size >= file->viewSize) return false;
  file->viewLost = true;
  return true;
}

}  // namespace

MemHandle* ReadDbBlockRecord(DbFile* file, uint32_t index, MemHandle* spare) {
  {
    std::lock_guard<std::mutex> guard(g_lock);
    if (!file->viewTried && file->recordCount > 0) {
      // The size at open: a view of the records the list describes. A file
      // since cut shorter has no mapping of that size, and is read.
      file->viewTried = true;
      const uint32_t size = RecordOffset(file, 0) + file->dataSize;
      EnsureOpenLocked(file);
      if (HANDLE mapping = CreateFileMappingW(file->handle, nullptr, PAGE_READONLY, 0, size, nullptr)) {
        if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size)) {
          file->view = static_cast<const uint8_t*>(view);
          file->viewSize = size;
          file->viewZeroedSeen = GetFileViewZeroedPageCount();
        }
        CloseHandle(mapping);
      }
    }
    if (file->view && !file->viewLost && index + 1 < file->recordCount) {
      const uint32_t offset = RecordOffset(file, index);
      const uint32_t end = RecordOffset(file, index + 1);
      if (end <= file->viewSize && !ViewLostPages(file, end)) {
        MemHandle* record = spare;
        if (record) {
          if (record->data && !record->MemHandleBorrowed) LocalFree(record->data);
        } else {
          record = WrapMemHandle(nullptr, 0, 1, 1);
          if (!record) return nullptr;
        }
        record->data = const_cast<uint8_t*>(file->view + offset);
        record->size = end - offset;
        record->lockCount = 0;
        record->MemHandleFromStore = 1;
        record->MemHandleBorrowed = 1;
        return record;
      }
    }
  }
  return ReadDbRecordReusing(file, index, spare);
}

MemHandle* ReadDbRecordReusing(DbFile* file, uint32_t index, MemHandle* spare) {
  // Whatever happens below, the spare is either the result or freed.
  auto giveUp = [&]() -> MemHandle* {
    FreeMemHandle(spare);
    return nullptr;
  };
  std::lock_guard<std::mutex> guard(g_lock);
  if (index >= file->recordCount) return giveUp();
  EnsureOpenLocked(file);

  const uint32_t offset = RecordOffset(file, index);
  if (!SeekTo(file->handle, offset)) {
    if (!IsLostStorageError(GetLastError())) return giveUp();
    ReopenFile(file);
    if (!SeekTo(file->handle, offset)) return giveUp();
  }

  // The last record runs to the end of the file as it is now.
  uint32_t end;
  if (index + 1 < file->recordCount) {
    end = RecordOffset(file, index + 1);
  } else {
    const DWORD size = GetFileSize(file->handle, nullptr);
    if (size == INVALID_FILE_SIZE || size < offset) return giveUp();
    end = size;
  }
  const uint32_t length = end - offset;

  // The spare's block serves when it is large enough and not much larger
  // (the slack bounds what a kept block can waste); else a block of the
  // record's own size.
  void* block = nullptr;
  if (spare && spare->data && !spare->MemHandleBorrowed) {
    const SIZE_T room = LocalSize(spare->data);
    if (room >= length && room - length <= length / kSpareSlackDivisor) {
      block = spare->data;
    } else {
      LocalFree(spare->data);
    }
    spare->data = nullptr;
  }
  if (!block) block = LocalAlloc(LMEM_FIXED, length);
  if (!block) return giveUp();
  auto fail = [&]() -> MemHandle* {
    LocalFree(block);
    return giveUp();
  };

  // A read that succeeds must deliver the whole record: a shorter one means
  // the file shrank and the rest of the block would be garbage.
  BOOL ok;
  if (!ReadExactly(file->handle, block, length, &ok)) {
    if (ok) return fail();
    const DWORD error = GetLastError();
    if (IsLostStorageError(error)) {
      ReopenFile(file);
      if (!SeekTo(file->handle, offset) || !ReadExactly(file->handle, block, length, &ok)) return fail();
    } else if (error == ERROR_ACCESS_DENIED) {
      bool done = false;
      for (int attempt = 0; attempt < kAccessDeniedRetries && !done; ++attempt) {
        Sleep(kAccessDeniedWaitMs);
        // A refused read may have moved the position.
        if (!SeekTo(file->handle, offset)) continue;
        if (ReadExactly(file->handle, block, length, &ok)) {
          done = true;
        } else if (ok) {
          return fail();
        }
      }
      if (!done) return fail();
    } else {
      return fail();
    }
  }

  if (spare) {
    // The handle's size is the record's; the block may hold a little more.
    spare->data = block;
    spare->size = length;
    spare->lockCount = 0;
    spare->MemHandleFromStore = 1;
    spare->MemHandleBorrowed = 0;
    return spare;
  }
  MemHandle* record = WrapMemHandle(block, length, 1, 0);
  if (!record) return fail();
  return record;
}

void FreeDbRecord(DbFile*, uint32_t, MemHandle* record) { FreeMemHandle(record); }

void CloseDbFile(DbFile* file) {
  if (!file) return;
  std::lock_guard<std::mutex> guard(g_lock);
  RemoveFromListLocked(file);
  CloseFileHandle(file);
  FreeDbFile(file);
}

void DeleteDbFile(DbFile* file) {
  if (!file) return;
  std::lock_guard<std::mutex> guard(g_lock);
  RemoveFromListLocked(file);
  CloseFileHandle(file);
  DeleteFileW(file->path.c_str());
  FreeDbFile(file);
}

DbFile* GetOpenFileListEntry(int i) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (i < 0 || i >= kOpenFileListSize) return nullptr;
  return g_openFileList.entries[i];
}
