// Record-database files: a read-only container (78-byte big-endian header,
// a list of record offsets, the records) read record by record for the life
// of the program. At most three files hold an operating-system handle at
// once (the open-file list); a file that needs one takes the first free
// entry, or else the file in the last entry loses its handle, the others
// move down and the file goes first. Using a file that already holds its
// handle does not reorder the list. Reads that fail because the storage went
// away reopen the file by path and retry.
//
// Every function here may be called from any thread: the list and the
// files' handles are guarded by one lock of this module.
#pragma once

#include <cstdint>
#include <string>

#include "engine/mem_handle.h"
#include "platform/types.h"

inline constexpr uint32_t kDbHeaderSize = 78;
inline constexpr uint32_t kDbRecordEntrySize = 8;
inline constexpr int kOpenFileListSize = 3;
// `kind` written by OpenDbFile for a dictionary data file.
inline constexpr int kDbKindDataFile = 1;

// One entry of the record list, as in the file.
struct DbRecordEntry {
  uint8_t offset[4];  // big-endian, from the start of the file
  uint8_t attributesAndId[4];  // not read
};

struct DbFile {
  HANDLE handle;              // null while the file holds none
  std::u16string path;        // device path, full length
  uint32_t recordCount;
  uint32_t dataSize;          // file size at open time minus record 0's offset
  DbRecordEntry* recordList;  // recordCount entries
  // The file as it was opened, mapped on the first block read through
  // ReadDbBlockRecord (null when that failed; tried once); given up for
  // reads once the file is found cut shorter.
  const uint8_t* view = nullptr;
  uint32_t viewSize = 0;
  bool viewTried = false;
  bool viewLost = false;
  uint32_t viewZeroedSeen = 0;  // the platform's count of zeroed view pages when last looked at
};

static_assert(sizeof(DbRecordEntry) == kDbRecordEntrySize);

// The files that hold an operating-system handle; entry 0 first. It
// borrows the files.
struct OpenFileList {
  DbFile* entries[kOpenFileListSize];
};

// Takes over `handle` (opened for reading) and always closes it before it
// returns. Refuses (null) a file whose creator is not "SRVN", whose type is
// not "SXDB" or "SDDB", that has no records, a short record list, or record
// offsets that are not ascending within the file.
DbFile* OpenDbFile(HANDLE handle, LPCWSTR path, int* kind);
// Empties the open-file list (at start-up, before any file is opened).
void ClearOpenFileCache();
// Gives the file a handle if it holds none (see above).
void EnsureDbFileOpen(DbFile* file);
uint32_t GetDbRecordCount(const DbFile* file);
// 0 when recordCount, the current file size and dataSize all agree, else 1.
int CheckDbFileSizes(DbFile* file, uint32_t recordCount, uint32_t fileSize, uint32_t dataSize);
// Low 32 bits of the file's last-write time; 0 when it cannot be read.
uint32_t GetDbFileWriteStamp(DbFile* file);
// A new MemHandle (MemHandleFromStore 1) holding the whole record, or null when the
// index is out of range or the record cannot be read in full. The last
// record runs to the current end of the file.
MemHandle* ReadDbRecord(DbFile* file, uint32_t index);
// As ReadDbRecord, but gives a record handle no longer wanted (`spare`,
// unlocked and held by no one, or null) a second life: on success the
// result is `spare` itself holding the new record, in its old block when
// that fits; on failure `spare` is freed. Saves the allocations of a cache
// that drops one record to read the next.
MemHandle* ReadDbRecordReusing(DbFile* file, uint32_t index, MemHandle* spare);
// As ReadDbRecordReusing, for a record that is only read, never written
// nor resized: where the file can be mapped, the result borrows the record's
// bytes from the view of the file as it was opened (no copy, no system call),
// and `spare` is that handle whatever its block was. The last record, which
// runs to the file's current end, and any record past the size at open are
// read as ReadDbRecordReusing reads them, as is every record once the file
// was found cut shorter than its view (see ViewLostPages in db_file.cpp).
// The view lasts until the file is closed: the handle must not be read
// after that.
MemHandle* ReadDbBlockRecord(DbFile* file, uint32_t index, MemHandle* spare);
void FreeDbRecord(DbFile* file, uint32_t index, MemHandle* record);
// Takes the file out of the open-file list, closes its handle and frees it.
void CloseDbFile(DbFile* file);
// As CloseDbFile, and deletes the file.
void DeleteDbFile(DbFile* file);

// The file in entry i of the open-file list, or null (for tests).
DbFile* GetOpenFileListEntry(int i);
