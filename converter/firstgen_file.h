// The two first-generation file kinds, read record by record:
//
// - the container ("*.pdb", `FirstGenDatabaseFile`): big-endian, type code
//   "SRDB" at 60, creator "SRDE" at 64, record count at 76, then 8 bytes a
//   record (u32 file offset, 4 bytes not used); record i runs to the next
//   record's offset, the last one to the end of the file;
// - the bundle ("*.kve", `FirstGenBundle`): little-endian, magic
//   "KVE!KVE@$KVE%KVE", version 1 at 16, member count m at 24, directory
//   entry count at 28, then 12 bytes an entry (u32 offset, u32 used length,
//   u32 stored length); member i is read as its stored bytes and is a
//   record of its used length.
//
// Both are opened read-only and nothing is ever written to them: these are
// the user's only copies of old data. Every offset and length is checked
// against the file's size when the file opens, so a record never asks for
// more memory than the file holds. A read that fails because the storage
// went away (errors 6 and 1617) reopens the file by path and tries once
// more; any other failed or short read leaves the rest of the record
// zero-filled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

namespace converter {

// One record or member in memory. `data` holds at least `size` bytes.
struct FirstGenRecord {
  uint8_t* data;
  uint32_t size;
};

// Null when there is no memory. The bytes are zero-filled.
FirstGenRecord* NewFirstGenRecord(uint32_t size);
void FreeFirstGenRecord(FirstGenRecord* record);

struct FirstGenDatabaseFile {
  HANDLE handle;
  std::u16string path;
  uint32_t fileSize;
  uint32_t recordCount;
  std::vector<uint32_t> offsets;  // host order, recordCount + 1 (the last is the file size)
};

// Null (nothing kept open) when the file cannot be opened, its codes do not
// match, its record list cannot be read, or its record offsets fall or lie
// past the end of the file.
FirstGenDatabaseFile* OpenFirstGenDatabaseFile(LPCWSTR path);
// A new record, or null when the index is out of range or memory is short.
FirstGenRecord* ReadFirstGenFileRecord(FirstGenDatabaseFile* file, uint32_t index);
uint32_t GetFirstGenRecordLength(const FirstGenDatabaseFile* file, uint32_t index);
void CloseFirstGenDatabaseFile(FirstGenDatabaseFile* file);

inline constexpr char kFirstGenBundleMagic[] = "KVE!KVE@$KVE%KVE";
inline constexpr uint32_t kFirstGenBundleVersion = 1;
inline constexpr uint32_t kFirstGenBundleHeaderSize = 32;
inline constexpr uint32_t kFirstGenBundleEntrySize = 12;

struct FirstGenBundleMember {
  uint32_t offset;
  uint32_t usedLength;
  uint32_t storedLength;
};

struct FirstGenBundle {
  HANDLE handle;
  std::u16string path;
  uint32_t fileSize;
  uint32_t memberCount;                       // m
  std::vector<FirstGenBundleMember> members;  // m entries
};

// Null when the magic or version do not match, the directory cannot be
// read, or m is above the directory's entry count.
FirstGenBundle* OpenFirstGenBundle(LPCWSTR path);
// A new record of the member's used length, or null when the index is out
// of range, the used length is above the stored one, the stored bytes lie
// past the end of the file, or memory is short.
FirstGenRecord* ReadFirstGenBundleMember(FirstGenBundle* bundle, uint32_t index);
void CloseFirstGenBundle(FirstGenBundle* bundle);

}  // namespace converter
