// The reader's position store: for every document the reader has shown, the
// last reading position and up to 31 named bookmarks, in the stream file
// "\Sorvi Reader Bookmarks" (kind 2). The open file is kept in the engine's
// readerPositionStore field from the first document until the engine is
// destroyed (DestroyEngine closes it).
//
// File layout (u32 little-endian): version 2, record count 0..64, stride
// 2208; then `count` records of a 160-byte head and 32 bookmark slots of 64
// bytes. A head: the 140-byte DocumentKey (name 128, kind, second id, first
// id), created, last saved, last used (UTC seconds), slots in use, capacity.
//
// The file is untrusted: a header other than {2, 0..64, 2208} leaves the
// store absent for the run and the file untouched; capacities and in-use
// counts read from a record are clamped to 32; a record the file does not
// hold whole is never matched nor reused; every write is checked.
#pragma once

#include <cstdint>

#include "platform/types.h"

struct DictEngine;

inline constexpr uint32_t kPositionStoreVersion = 2;
inline constexpr uint32_t kPositionStoreMaxRecords = 64;
inline constexpr uint32_t kPositionHeadBytes = 160;
inline constexpr uint32_t kBookmarkSlotBytes = 64;
// Every record has room for this many slots; a record never holds more.
inline constexpr uint32_t kBookmarkCapacity = 32;
inline constexpr uint32_t kPositionStride = kPositionHeadBytes + kBookmarkCapacity * kBookmarkSlotBytes;  // 2208
inline constexpr uint32_t kPositionStoreHeaderBytes = 12;
inline constexpr uint32_t kDocumentKeyBytes = 140;
inline constexpr uint32_t kDocumentKeyNameChars = 64;  // with the terminator
// A bookmark name is stored in 30 units with its terminator: 29 characters.
inline constexpr uint32_t kBookmarkNameChars = 30;

enum DocumentKeyKind : uint32_t {
  kKeyDatabaseDocument = 0,  // matched by its two ids
  kKeyTextFile = 1,          // matched by the file name alone (no folders)
  kKeyMemoryText = 2,        // clipboard or memory: never stored
};

// The identity of a document in the store; also the first 140 bytes of its
// record head.
struct DocumentKey {
  WCHAR name[kDocumentKeyNameChars];
  uint32_t kind;
  uint32_t secondId;
  uint32_t firstId;
};

// One 64-byte slot: slot 0 is the last reading position (empty name), slots
// 1.. the user's bookmarks in the user's order.
struct Bookmark {
  WCHAR name[kBookmarkNameChars];
  uint32_t position;  // absolute byte offset in the document's source
};

// Opens the existing file, or creates it with the header {2, 0, 2208} when
// there is none. A file whose header is not a version-2 store is closed
// again and left as it is: no store (the engine's field stays null). 0 when
// the engine holds a store afterwards, 1 when not.
int OpenReaderPositionStore(DictEngine* engine);
// CloseReaderPositionStore is the engine's (engine/dict_engine.h).

// Index of the first record whose key matches, or -1 (no store, no key, a
// memory text, or no match).
int32_t FindPositionRecord(DictEngine* engine, const DocumentKey* key);
// Index of the matching record or of the slot a new record takes, or -1;
// *isNew is 1 for a slot to be written. A new record at the end lies beyond
// the header's count: nothing is written here, the caller writes the record
// and then raises the count (so a failed write leaves no half record
// counted). With 64 records the least recently used one is reused (the
// first of equal times).
int32_t FindOrAddPositionRecord(DictEngine* engine, const DocumentKey* key, int* isNew);
// The document's slots: a LocalAlloc'd, zeroed array of 32 slots in *slots
// (the caller LocalFrees it; null only when the heap is exhausted) and 32 in
// *capacity. Returns the slots read (0 without a record); a found record's
// last-used time is refreshed.
int32_t LoadDocumentBookmarks(DictEngine* engine, const DocumentKey* key, Bookmark** slots, int32_t* capacity);
// Writes the first min(inUse, 32) slots into the document's record (made or
// reused as needed) and zeroes the rest. 0 when done or nothing to do (a
// memory text), 1 when no record could be had (no store among them) or a
// read or write failed.
int SaveDocumentBookmarks(DictEngine* engine, const DocumentKey* key, const Bookmark* slots, int32_t inUse);

// Keys match when their kinds are equal and, for database documents, both
// ids, else the names (exact UTF-16).
bool DocumentKeysMatch(const DocumentKey* a, const DocumentKey* b);
